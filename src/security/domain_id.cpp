#include "security/domain_id.h"

#include "security/security_exception.h"
#include "standard/string_map.h"

namespace osk {

namespace {
const char* const kIllegalTypeValue = "Illegal domain type %1.";
const char* const kIllegalTypeValueWhy = "Internal Error.";
const char* const kIllegalTypeText = "Illegal domain type '%1'.";
const char* const kIllegalTypeTextWhy = "Domain type not defined.";

const char* const kDeviceText = "device";
const char* const kUserRoleText = "user_role";
} // namespace

std::string CDomainID::idstr() const
{
    return std::to_string(id());
}

void CDomainID::idstr(const std::string& text)
{
    id(parseIdentifierText(text));
}

std::string CDomainID::string() const
{
    CStringMap record(false);
    record.set_int64("id", id());
    record.set_string("type", typeString(_domainType));
    return record.string();
}

std::string CDomainID::typeString(domain_type type)
{
    switch (type) {
    case device:
        return kDeviceText;
    case user_role:
        return kUserRoleText;
    }
    throw OSK_SECURITY_EXCEPTION(CMessage(kIllegalTypeValue).push(static_cast<int32_t>(type)),
                                 CMessage(kIllegalTypeValueWhy), "CDomainID::typeString");
}

CDomainID::domain_type CDomainID::typeValue(const std::string& text)
{
    if (text.empty() || text == kDeviceText) return device;
    if (text == kUserRoleText) return user_role;
    throw OSK_SECURITY_EXCEPTION(CMessage(kIllegalTypeText).pushs(text), CMessage(kIllegalTypeTextWhy),
                                 "CDomainID::typeValue");
}

} // namespace osk
