#pragma once

#include <ace/Timer_Queue.h>
#include <ace/Token.h>

#include "ace_ext/general_reactor.h"
#include "ace_ext/reactor_dispatch_policy.h"
#include "ace_ext/reactor_handle_set.h"
#include "ace_ext/reactor_impl_policy.h"
#include "ace_ext/reactor_notify.h"
#include "ace_ext/reactor_registration_policy.h"
#include "ace_ext/reactor_select_wait_policy.h"
#include "standard/general_ptr.h"

namespace osk {

// The two assembled reactors.
//
// CSTReactor: only its own thread may touch it (no locking at all); other
// threads reach it solely through notify(). CMTReactor: other threads may
// also register, remove, suspend and schedule while its thread runs the
// loop; the registrations are guarded by an ACE_Token and every pointer the
// registration policy hands out holds its object's lock per call.

// Non-owning, unlocked pointers for the single-threaded reactor.
template <class T>
using CReactorSTPtr = CGeneralPtr<T, CSTNotOwnerPolicy, CNoMethodLockPolicy, CNoObjectLockPolicy>;
// Non-owning, method-locked pointers for the multi-threaded reactor.
template <class T>
using CReactorMTPtr = CGeneralPtr<T, CMTNotOwnerPolicy, CMethodLockPolicy, CObjectLockPolicy>;

using CSTReactorRegistration =
    CReactorRegistrationPolicy<ACE_Noop_Token, CReactorSTPtr<ACE_Event_Handler>, CReactorSTPtr<CReactorHandleSet>,
                               CReactorSTPtr<ACE_Timer_Queue>, CReactorSTPtr<CReactorNotify>>;
using CMTReactorRegistration =
    CReactorRegistrationPolicy<ACE_Token, CReactorMTPtr<ACE_Event_Handler>, CReactorMTPtr<CReactorHandleSet>,
                               CReactorMTPtr<ACE_Timer_Queue>, CReactorMTPtr<CReactorNotify>>;

template <class Registration>
using CSelectReactorImpl = CReactorImplPolicy<CReactorSelectWaitPolicy<Registration>, Registration,
                                              CReactorDispatchPolicy<Registration>>;

using CSTReactor = CGeneralReactor<CSelectReactorImpl<CSTReactorRegistration>>;
using CMTReactor = CGeneralReactor<CSelectReactorImpl<CMTReactorRegistration>>;

} // namespace osk
