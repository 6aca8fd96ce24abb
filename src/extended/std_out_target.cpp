#include "extended/std_out_target.h"

#include <unistd.h>

#include <cerrno>

#include "standard/string_map.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kOptionRaw = "raw";
const char* const kOptionWildcard = "wildcard";
} // namespace

void CStdOutTarget::reconfigure(const std::string& setting)
{
    const CStringMap options(setting, "\n");
    _raw = options.get_bool(kOptionRaw, false);
    _wildcards.clear();
    for (const std::string& pattern : CStringUtil::split(options.get_string(kOptionWildcard, std::string())))
        _wildcards.emplace_back(pattern);
}

void CStdOutTarget::output(const std::string&, const std::string&, uint64_t threadId, const std::string& taskName,
                           const std::string& module, const CLogFacility&, uint32_t severity, int64_t, uint64_t,
                           const std::string& text)
{
    std::string line = _raw ? text : standardLine(severity, taskName, threadId, module, text);
    if (!_wildcards.empty()) {
        bool matched = false;
        for (const auto& wildcard : _wildcards) {
            if (wildcard.match(line)) {
                matched = true;
                break;
            }
        }
        if (!matched) return;
    }
    line += '\n';
    // One write per line (unbuffered), so lines of several processes sharing
    // the terminal do not interleave mid-line.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return; // a closed or broken standard output is not worth an error per entry
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

} // namespace osk
