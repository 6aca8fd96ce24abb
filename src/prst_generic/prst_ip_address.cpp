#include "prst_generic/prst_ip_address.h"

#include <cstdint>

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"
#include "standard/hex_store.h"

using M = CPrstGenericMessages;

CPrstClassSpec CPrstIPAddress::_makeSpec() { return CPrstClassSpec("CPrstIPAddress", "", "osk_address", false); }

std::string CPrstIPAddress::key(const osk::CIPAddress& address)
{
    if (!address.isValid())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotWriteAddress, M::module), osk::CMessage(M::addressNotSet, M::module),
                            "CPrstIPAddress::key", M::module);
    uint8_t bytes[osk::CIPAddress::maxRawLen] = {};
    if (address.type() == osk::CIPAddress::ipv4) {
        bytes[10] = 0xff;
        bytes[11] = 0xff;
        for (size_t i = 0; i < 4; ++i) bytes[12 + i] = address.raw_addr()[i];
    } else {
        for (size_t i = 0; i < osk::CIPAddress::maxRawLen; ++i) bytes[i] = address.raw_addr()[i];
    }
    return osk::CHexStore(bytes, sizeof(bytes), "").string();
}

CPrstIPAddress::ptr_t CPrstIPAddress::highest(CPrstContext& context)
{
    list_t found = fastSelectRec(context, "abinding.maxaddr", {}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

void CPrstIPAddress::_beforeWrite()
{
    CIPersistentObject<CPrstIPAddress>::_beforeWrite();
    _key.value(key(address()));
}
