#pragma once

#include <ace/Reactor_Impl.h>

class ACE_Reactor;

namespace osk {

// Common base of the framework's reactors: an ACE_Reactor_Impl that keeps an
// ACE_Reactor front of its own over itself. The reactor's internal handlers
// (its notification channel) register through that front, so a reactor works
// whether or not a user wraps it in an ACE_Reactor of their own.
class CGeneralReactorBase : public ACE_Reactor_Impl {
public:
    CGeneralReactorBase() = default;
    ~CGeneralReactorBase() override;
    CGeneralReactorBase(const CGeneralReactorBase&) = delete;
    CGeneralReactorBase& operator=(const CGeneralReactorBase&) = delete;

    // The internal front; it never owns or deletes this reactor.
    ACE_Reactor* internalFront() const { return _internalFront; }

protected:
    // Creates the internal front. Call from the most derived constructor.
    ACE_Reactor* _createFront();
    // Deletes the internal front. ACE_Reactor's destructor calls close() on
    // its implementation, so the most derived destructor calls this while
    // close() still dispatches to it (and after closing, so it is a no-op).
    void _destroyFront();

private:
    ACE_Reactor* _internalFront = nullptr;
};

} // namespace osk
