#include "standard/protocol_family.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>

#include "extended/exception.h"
#include "standard/ip_address.h"

namespace osk {

namespace {
// User-visible texts of CProtocolFamily.
const char* const kCannotParse = "Cannot parse protocol family.";
const char* const kNotAFamily = "Text '%1' is not a protocol family.";
} // namespace

CProtocolFamily::CProtocolFamily(int value)
{
    family(value);
}

void CProtocolFamily::family(int value)
{
    _family = (value == AF_INET || value == AF_INET6) ? value : AF_UNSPEC;
}

CProtocolFamily CProtocolFamily::fromAddrType(uint8_t type)
{
    return CProtocolFamily(type == CIPAddress::ipv4 ? AF_INET : type == CIPAddress::ipv6 ? AF_INET6 : AF_UNSPEC);
}

CProtocolFamily CProtocolFamily::fromString(const std::string& text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "ipv4" || lower == "inet" || lower == "4") return CProtocolFamily(AF_INET);
    if (lower == "ipv6" || lower == "inet6" || lower == "6") return CProtocolFamily(AF_INET6);
    if (lower.empty() || lower == "unspec" || lower == "any") return CProtocolFamily(AF_UNSPEC);
    throw OSK_EXCEPTION(CMessage(kCannotParse), CMessage(kNotAFamily).pushs(text), "CProtocolFamily::fromString",
                        "standard");
}

uint8_t CProtocolFamily::addr_type() const
{
    return _family == AF_INET ? CIPAddress::ipv4 : _family == AF_INET6 ? CIPAddress::ipv6 : CIPAddress::unknown;
}

bool CProtocolFamily::isIPv4() const
{
    return _family == AF_INET;
}

bool CProtocolFamily::isIPv6() const
{
    return _family == AF_INET6;
}

std::string CProtocolFamily::string() const
{
    return _family == AF_INET ? "ipv4" : _family == AF_INET6 ? "ipv6" : "unspec";
}

} // namespace osk
