#include "extended/log_facility.h"

#include <cstdio>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotParse = "Cannot parse log facility '%1'.";
const char* const kUnknownName = "Unknown facility name.";

struct named_facility_t {
    const char* name;
    int facility;
};
const named_facility_t kNames[] = {
    {"auth", CLogFacility::auth},     {"daemon", CLogFacility::daemon}, {"kern", CLogFacility::kern},
    {"local0", 16},                   {"local1", 17},                   {"local2", 18},
    {"local3", 19},                   {"local4", 20},                   {"local5", 21},
    {"local6", 22},                   {"local7", 23},                   {"mail", CLogFacility::mail},
    {"syslog", CLogFacility::syslog}, {"user", CLogFacility::user},
};
} // namespace

CLogFacility::CLogFacility(const std::string& name) : _facility(daemon)
{
    const std::string trimmed = CStringUtil::trim(name);
    for (const auto& entry : kNames) {
        if (trimmed == entry.name) {
            _facility = entry.facility;
            return;
        }
    }
    if (!trimmed.empty() && trimmed.size() <= 2 && trimmed.find_first_not_of("0123456789") == std::string::npos) {
        const int value = std::stoi(trimmed);
        if (value <= local7) {
            _facility = value;
            return;
        }
    }
    throw OSK_EXCEPTION(CMessage(kCannotParse).pushs(name), CMessage(kUnknownName), "CLogFacility::CLogFacility",
                        kModule);
}

std::string CLogFacility::string() const
{
    for (const auto& entry : kNames)
        if (entry.facility == _facility) return entry.name;
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%i", _facility);
    return buffer;
}

} // namespace osk
