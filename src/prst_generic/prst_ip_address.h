#pragma once

#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"
#include "standard/ip_address.h"

// A record of one IP address: ADDRESS holds its text, ADDRESS_KEY its 16
// bytes (an IPv4 address as IPv4-mapped IPv6) in 32 hexadecimal digits, so
// that the order of the keys is the order of the addresses. Text
// attribute: address (0.0.0.0 in a new record).
class CPrstIPAddress : public CIPersistentObject<CPrstIPAddress> {
public:
    explicit CPrstIPAddress(CPrstContext& context) : CIPersistentObject<CPrstIPAddress>(context) {}
    static CPrstClassSpec _makeSpec();

    const osk::CIPAddress& address() const { return _address.value(); }
    void address(const osk::CIPAddress& address) { _address.value(address); }

    // The key of an address; throws for an unset address.
    static std::string key(const osk::CIPAddress& address);

    // The record of the highest address, or null when there is none.
    static ptr_t highest(CPrstContext& context);

protected:
    void _beforeWrite() override;

private:
    // A new record holds the all-zero IPv4 address: an unset address has no
    // text form.
    CPrstAttr<osk::CIPAddress> _address{*this, "ADDRESS", "address", osk::CIPAddress(osk::CIPAddress::ipv4)};
    CPrstAttr<std::string> _key{*this, "ADDRESS_KEY"};
};
