#pragma once

#include "standard/general_ptr.h"
#include "standard/mr_event.h"
#include "standard/tracked_factory.h"

namespace osk {

// The caller's side of a command's outcome: a handle to the caller's own
// result variable and an event, both shared by every copy. The caller gives a
// copy to the command, posts it and wait()s; the command stores the result
// through result() and signal()s.
template <class T>
class CAsyncResult {
public:
    explicit CAsyncResult(T* result) : _result(result), _event(CTrackedFactory::create<CMREvent>()) {}
    virtual ~CAsyncResult() = default;
    CAsyncResult(const CAsyncResult&) = default;
    CAsyncResult& operator=(const CAsyncResult&) = default;

    T* result() const { return _result.get(); }
    T& operator*() const { return *_result; }
    T* operator->() const { return _result.operator->(); }

    // Blocks, without a time-out, until signal() was called on any copy.
    virtual void wait() const { _event->wait(); }
    virtual void signal() { _event->signal(); }
    bool signalled() const { return _event->signalled(); }

private:
    // The caller owns its variable; copies only share the address.
    CGeneralPtr<T, CMTNotOwnerPolicy> _result;
    CGeneralPtr<CMREvent> _event;
};

} // namespace osk
