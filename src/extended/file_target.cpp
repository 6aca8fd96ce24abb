#include "extended/file_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotOpenTarget = "Cannot open log file target.";
const char* const kNameRequired = "File name must be specified.";
const char* const kCannotOpenFile = "Cannot open log file '%1'.";

[[noreturn]] void throwNoName(const char* context)
{
    throw OSK_EXCEPTION(CMessage(kCannotOpenTarget), CMessage(kNameRequired), context, kModule);
}
} // namespace

void CFileTarget::reconfigure(const std::string& setting)
{
    const std::string name = CStringUtil::trim(setting, CStringUtil::whitespace);
    if (name.empty()) throwNoName("CFileTarget::reconfigure");
    _setting = name;
}

void CFileTarget::output(const std::string&, const std::string&, uint64_t threadId, const std::string& taskName,
                         const std::string& module, const CLogFacility&, uint32_t severity, int64_t, uint64_t,
                         const std::string& text)
{
    const std::string path = _fileName();
    if (path.empty()) throwNoName("CFileTarget::output");
    appendLine(path, standardLine(severity, taskName, threadId, module, text));
}

void CFileTarget::appendLine(const std::string& path, const std::string& line)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
    if (fd < 0) {
        const int error = errno;
        char buffer[256];
        CException failure = OSK_EXCEPTION(CMessage(kCannotOpenFile).pushs(path),
                                           CMessage(strerror_r(error, buffer, sizeof(buffer))),
                                           "CFileTarget::appendLine", kModule);
        failure.err_code(error);
        throw failure;
    }
    std::string data = line;
    data += '\n';
    const char* next = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            break;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
    ::close(fd);
}

} // namespace osk
