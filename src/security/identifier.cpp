#include "security/identifier.h"

#include <cerrno>
#include <cstdlib>

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kNotANumber = "Value '%1' is not a valid number.";
const char* const kOverflow = "Value '%1' overflows %2 bits.";
} // namespace

int64_t parseIdentifierText(const std::string& text, const char* context)
{
    size_t digits = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) digits = 1;
    if (digits == text.size())
        throw OSK_SECURITY_EXCEPTION(CMessage(kNotANumber).pushs(text), CMessage(), context);
    for (size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            throw OSK_SECURITY_EXCEPTION(CMessage(kNotANumber).pushs(text), CMessage(), context);
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE)
        throw OSK_SECURITY_EXCEPTION(CMessage(kOverflow).pushs(text).push(64), CMessage(), context);
    return static_cast<int64_t>(value);
}

} // namespace osk
