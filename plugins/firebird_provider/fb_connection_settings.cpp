#include "firebird_provider/fb_connection_settings.h"

#include "firebird_provider/fb_error.h"

namespace fbprov {

namespace {

// Firebird accepts page sizes of 4, 8, 16 and 32 KiB.
bool validPageSize(uint32_t bytes) { return bytes == 4096 || bytes == 8192 || bytes == 16384 || bytes == 32768; }

} // namespace

CFbConnectionSettings::CFbConnectionSettings(const osk::CStringMap& config)
{
    const char* context = "CFbConnectionSettings::CFbConnectionSettings";
    std::string name = config.get_string("system.db.name", "");
    if (name.empty())
        throw CFbError::make(osk::CMessage("Cannot locate the database."),
                             osk::CMessage("The key system.db.name is not set; set it to the database's name."),
                             context);
    if (name.find('.') == std::string::npos)
        name += ".fdb";
    std::string path = config.get_string("system.db.path", config.get_string("system.storage.path", ""));
    _databaseFile = (path.empty() || name.front() == '/') ? name : path + "/" + name;
    _hostname = config.get_string("system.db.hostname", "");
    _user = config.get_string("system.db.user", _user);
    _password = config.get_string("system.db.password", "");
    _pageSize = config.get_uint32("system.db.page_size", defaultPageSize);
    if (!validPageSize(_pageSize))
        throw CFbError::make(osk::CMessage("Cannot use the database page size %1.").push(_pageSize),
                             osk::CMessage("system.db.page_size must be 4096, 8192, 16384 or 32768."), context);
    _cacheBuffers = config.get_uint32("system.db.cache_buffers", 0);
    // Rounded up: a limit below a millisecond is still a limit.
    const unsigned long usec = config.get_usec(
        "system.db.answer_timeout",
        static_cast<unsigned long>(std::chrono::microseconds(defaultAnswerTimeout).count()));
    _answerTimeout = std::chrono::milliseconds((usec + 999) / 1000);
}

std::string CFbConnectionSettings::connectionString() const
{
    return embedded() ? _databaseFile : _hostname + ":" + _databaseFile;
}

} // namespace fbprov
