#include "extended/log_target.h"

#include <ctime>

#include "extended/exception.h"

namespace osk {

std::string CLogTarget::localTimeText()
{
    const time_t now = ::time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char buffer[64];
    const size_t length = std::strftime(buffer, sizeof(buffer), "%x %X", &local);
    return std::string(buffer, length);
}

std::string CLogTarget::asctimeText()
{
    const time_t now = ::time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char buffer[64];
    if (!asctime_r(&local, buffer)) return std::string();
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string CLogTarget::standardLine(uint32_t severity, const std::string& taskName, uint64_t threadId,
                                     const std::string& module, const std::string& text)
{
    std::string line;
    line.reserve(64 + taskName.size() + module.size() + text.size());
    line += '[';
    line += CException::severityString(severity);
    line += "] [";
    line += localTimeText();
    line += "] [";
    line += taskName;
    line += "] [";
    line += std::to_string(threadId);
    line += "] [";
    line += module;
    line += "] ";
    line += text;
    return line;
}

} // namespace osk
