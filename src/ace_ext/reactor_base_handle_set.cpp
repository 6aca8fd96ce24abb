#include "ace_ext/reactor_base_handle_set.h"

namespace osk {

namespace {
constexpr ACE_Reactor_Mask kBits[CReactorBaseHandleSet::setCount] = {
    CReactorBaseHandleSet::readBit, CReactorBaseHandleSet::writeBit, CReactorBaseHandleSet::exceptBit};
}

ACE_Reactor_Mask CReactorBaseHandleSet::selectBits(ACE_Reactor_Mask eventMask)
{
    ACE_Reactor_Mask bits = 0;
    if (eventMask & (ACE_Event_Handler::READ_MASK | ACE_Event_Handler::ACCEPT_MASK | ACE_Event_Handler::CONNECT_MASK))
        bits |= readBit;
    if (eventMask & (ACE_Event_Handler::WRITE_MASK | ACE_Event_Handler::CONNECT_MASK)) bits |= writeBit;
    if (eventMask & ACE_Event_Handler::EXCEPT_MASK) bits |= exceptBit;
    return bits;
}

int CReactorBaseHandleSet::_index(ACE_Reactor_Mask bit)
{
    switch (bit) {
    case readBit: return 0;
    case writeBit: return 1;
    default: return 2;
    }
}

void CReactorBaseHandleSet::setHandle(ACE_HANDLE handle, ACE_Reactor_Mask mask)
{
    for (int i = 0; i < setCount; ++i)
        if ((mask & kBits[i]) && !_sets[i].is_set(handle)) _sets[i].set_bit(handle);
}

void CReactorBaseHandleSet::clearHandle(ACE_HANDLE handle, ACE_Reactor_Mask mask)
{
    for (int i = 0; i < setCount; ++i)
        if ((mask & kBits[i]) && _sets[i].is_set(handle)) _sets[i].clr_bit(handle);
}

void CReactorBaseHandleSet::moveHandle(ACE_HANDLE handle, CReactorBaseHandleSet& target)
{
    const ACE_Reactor_Mask bits = mask(handle);
    clearHandle(handle, bits);
    target.setHandle(handle, bits);
}

void CReactorBaseHandleSet::applyMask(ACE_HANDLE handle, ACE_Reactor_Mask mask)
{
    clearHandle(handle, allBits & ~mask);
    setHandle(handle, mask);
}

void CReactorBaseHandleSet::copyAllHandles(const CReactorBaseHandleSet& source)
{
    for (int i = 0; i < setCount; ++i) _sets[i] = source._sets[i];
}

void CReactorBaseHandleSet::moveAllHandles(CReactorBaseHandleSet& target)
{
    for (int i = 0; i < setCount; ++i) {
        ACE_Handle_Set_Iterator it(_sets[i]);
        for (ACE_HANDLE handle; (handle = it()) != ACE_INVALID_HANDLE;)
            if (!target._sets[i].is_set(handle)) target._sets[i].set_bit(handle);
        _sets[i].reset();
    }
}

bool CReactorBaseHandleSet::isEnabled(ACE_HANDLE handle, ACE_Reactor_Mask mask) const
{
    return (this->mask(handle) & mask) != 0;
}

bool CReactorBaseHandleSet::isAllEnabled(ACE_HANDLE handle, ACE_Reactor_Mask mask) const
{
    mask &= allBits;
    return mask != 0 && (this->mask(handle) & mask) == mask;
}

ACE_Reactor_Mask CReactorBaseHandleSet::mask(ACE_HANDLE handle) const
{
    ACE_Reactor_Mask bits = 0;
    if (handle == ACE_INVALID_HANDLE) return bits;
    for (int i = 0; i < setCount; ++i)
        if (_sets[i].is_set(handle)) bits |= kBits[i];
    return bits;
}

ACE_Handle_Set& CReactorBaseHandleSet::getWaitObjects(ACE_Reactor_Mask bit) { return _sets[_index(bit)]; }

const ACE_Handle_Set& CReactorBaseHandleSet::getWaitObjects(ACE_Reactor_Mask bit) const
{
    return _sets[_index(bit)];
}

void CReactorBaseHandleSet::synchSize(ACE_HANDLE maxHandle)
{
    for (auto& set : _sets) set.sync(maxHandle + 1);
}

void CReactorBaseHandleSet::reset()
{
    for (auto& set : _sets) set.reset();
}

ACE_HANDLE CReactorBaseHandleSet::maxHandle() const
{
    ACE_HANDLE highest = ACE_INVALID_HANDLE;
    for (const auto& set : _sets)
        if (set.num_set() > 0 && set.max_set() > highest) highest = set.max_set();
    return highest;
}

int CReactorBaseHandleSet::count() const
{
    int total = 0;
    for (const auto& set : _sets) total += set.num_set();
    return total;
}

} // namespace osk
