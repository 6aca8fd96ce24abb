#include "ace_ext/general_reactor_base.h"

#include <ace/Reactor.h>

#include <cassert>

namespace osk {

CGeneralReactorBase::~CGeneralReactorBase()
{
    // The most derived destructor must have released the front: deleting it
    // here would call close() on a half-destroyed reactor.
    assert(_internalFront == nullptr);
}

ACE_Reactor* CGeneralReactorBase::_createFront()
{
    if (!_internalFront) _internalFront = new ACE_Reactor(this, false);
    return _internalFront;
}

void CGeneralReactorBase::_destroyFront()
{
    ACE_Reactor* front = _internalFront;
    _internalFront = nullptr;
    delete front;
}

} // namespace osk
