#include "firebird_provider/fb_connector.h"

#include <ibase.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_master.h"
#include "firebird_provider/fb_parameter_block.h"
#include "firebird_provider/fb_ref.h"
#include "firebird_provider/fb_status.h"

namespace fbprov {

namespace {

osk::CMessage cannotOpen(const CFbConnectionSettings& settings)
{
    return osk::CMessage("Cannot open database '%1'.").pushs(settings.connectionString());
}

// The parameters every connection takes. The provider list keeps a plain
// path away from any server (and a host name away from the embedded engine).
CFbParameterBlock connectionParameters(const CFbConnectionSettings& settings)
{
    CFbParameterBlock dpb(isc_dpb_version1);
    dpb.text(isc_dpb_user_name, settings.user());
    if (!settings.password().empty())
        dpb.text(isc_dpb_password, settings.password());
    dpb.text(isc_dpb_lc_ctype, "UTF8");
    dpb.text(isc_dpb_config, settings.embedded() ? "Providers=Engine12" : "Providers=Remote");
    // A server that takes the connection but never answers (hung, or behind
    // a network that drops its replies) would otherwise hold the caller for
    // good: the engine's thread when it replaces a lost connection.
    if (!settings.embedded())
        dpb.integer(isc_dpb_connect_timeout, CFbConnectionSettings::connectTimeoutSeconds);
    // The page cache of the shared (SuperServer) engine is sized by the
    // number stored in the database header; writing it on every connection
    // makes a changed setting take effect at the next start.
    if (settings.cacheBuffers() != 0)
        dpb.integer(isc_dpb_set_page_buffers, settings.cacheBuffers());
    return dpb;
}

std::string directoryOf(const std::string& file)
{
    size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

} // namespace

std::unique_ptr<CFbAttachment> CFbConnector::open(const CFbConnectionSettings& settings)
{
    return settings.embedded() ? _openEmbedded(settings) : _openRemote(settings);
}

std::unique_ptr<CFbAttachment> CFbConnector::_openEmbedded(const CFbConnectionSettings& settings)
{
    const char* context = "CFbConnector::open";
    const std::string& file = settings.databaseFile();
    const std::string directory = directoryOf(file);
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw CFbError::make(cannotOpen(settings),
                             osk::CMessage("The directory '%1' does not exist; create it or point system.db.path "
                                           "to an existing directory.")
                                 .pushs(directory),
                             context);
    if (::stat(file.c_str(), &info) != 0) {
        if (errno != ENOENT)
            throw CFbError::make(cannotOpen(settings),
                                 osk::CMessage("The file cannot be examined; check the permissions of '%1'.")
                                     .pushs(directory),
                                 context);
        if (::access(directory.c_str(), W_OK | X_OK) != 0)
            throw CFbError::make(osk::CMessage("Cannot create database '%1'.").pushs(file),
                                 osk::CMessage("The directory '%1' is not writable by this process; check its "
                                               "owner and permissions.")
                                     .pushs(directory),
                                 context);
        return _create(settings);
    }
    if (!S_ISREG(info.st_mode))
        throw CFbError::make(cannotOpen(settings),
                             osk::CMessage("The path is not a regular file; point system.db.name at a database "
                                           "file."),
                             context);
    if (::access(file.c_str(), R_OK | W_OK) != 0)
        throw CFbError::make(cannotOpen(settings),
                             osk::CMessage("The file is not readable and writable by this process; check its owner "
                                           "and permissions."),
                             context);
    return _attach(settings);
}

std::unique_ptr<CFbAttachment> CFbConnector::_openRemote(const CFbConnectionSettings& settings)
{
    // The server alone knows whether the file exists: a refused open of a
    // missing file is answered by creating it.
    CFbStatus status;
    Firebird::IAttachment* attachment = _tryAttach(settings, status);
    if (attachment)
        return std::make_unique<CFbAttachment>(attachment);
    const std::vector<intptr_t> codes = CFbError::codes(status.get()->getErrors());
    if (std::find(codes.begin(), codes.end(), isc_io_open_err) != codes.end())
        return _create(settings);
    status.check(cannotOpen(settings), "CFbConnector::open");
    return nullptr;
}

std::unique_ptr<CFbAttachment> CFbConnector::_attach(const CFbConnectionSettings& settings)
{
    CFbStatus status;
    Firebird::IAttachment* attachment = _tryAttach(settings, status);
    status.check(cannotOpen(settings), "CFbConnector::open");
    return std::make_unique<CFbAttachment>(attachment);
}

Firebird::IAttachment* CFbConnector::_tryAttach(const CFbConnectionSettings& settings, CFbStatus& status)
{
    CFbParameterBlock dpb = connectionParameters(settings);
    CFbRef<Firebird::IProvider> dispatcher(CFbMaster::master()->getDispatcher());
    Firebird::IAttachment* attachment =
        dispatcher->attachDatabase(status.get(), settings.connectionString().c_str(), dpb.size(), dpb.data());
    return status.failed() ? nullptr : attachment;
}

std::unique_ptr<CFbAttachment> CFbConnector::_create(const CFbConnectionSettings& settings)
{
    CFbParameterBlock dpb = connectionParameters(settings);
    dpb.integer(isc_dpb_page_size, settings.pageSize()).integer(isc_dpb_sql_dialect, 3);
    CFbStatus status;
    CFbRef<Firebird::IProvider> dispatcher(CFbMaster::master()->getDispatcher());
    Firebird::IAttachment* attachment = dispatcher->createDatabase(
        status.get(), settings.connectionString().c_str(), dpb.size(), dpb.data());
    status.check(osk::CMessage("Cannot create database '%1'.").pushs(settings.connectionString()),
                 "CFbConnector::open");
    return std::make_unique<CFbAttachment>(attachment);
}

} // namespace fbprov
