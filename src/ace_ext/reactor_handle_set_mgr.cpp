#include "ace_ext/reactor_handle_set_mgr.h"

namespace osk {

CReactorHandleSet& CReactorHandleSetMgr::prepareReadySet()
{
    _ready.copyAllHandles(_wait);
    return _ready;
}

void CReactorHandleSetMgr::reset()
{
    _wait.reset();
    _suspended.reset();
    _ready.reset();
}

} // namespace osk
