#include "ace_ext/reactor_handle_set.h"

namespace osk {

int CReactorHandleSet::width() const
{
    const ACE_HANDLE highest = maxHandle();
    return highest == ACE_INVALID_HANDLE ? 0 : highest + 1;
}

fd_set* CReactorHandleSet::selectSet(ACE_Reactor_Mask bit) { return getWaitObjects(bit).fdset(); }

} // namespace osk
