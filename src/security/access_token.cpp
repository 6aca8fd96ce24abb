#include "security/access_token.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kInvalidCall = "Invalid method call.";
const char* const kInvalidCallWhy = "Wrong subclass.";
} // namespace

std::string CAccessToken::string() const
{
    throw OSK_SECURITY_EXCEPTION(CMessage(kInvalidCall), CMessage(kInvalidCallWhy), "CAccessToken::string");
}

void CAccessToken::string(const std::string&)
{
    throw OSK_SECURITY_EXCEPTION(CMessage(kInvalidCall), CMessage(kInvalidCallWhy), "CAccessToken::string");
}

} // namespace osk
