#pragma once

namespace osk {

// The reactor's own failures, thrown as osk::CException from the reactor
// class templates (which have no source file of their own to keep texts in).

// notify() was asked to deliver an event to a specific handler.
[[noreturn]] void throwReactorNotifyHandler(const char* context);

} // namespace osk
