#include "security/identifier.h"

#include "standard/number_conversion.h"

namespace osk {

int64_t parseIdentifierText(const std::string& text)
{
    return CNumberConversion(text).toInt64();
}

} // namespace osk
