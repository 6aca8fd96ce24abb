#pragma once

#include <firebird/Interface.h>

#include "extended/message.h"

namespace fbprov {

// Owns one Firebird status object and the wrapper that the OO API calls fill.
// check() turns a failed call into the provider's exception.
class CFbStatus {
public:
    CFbStatus();
    ~CFbStatus();
    CFbStatus(const CFbStatus&) = delete;
    CFbStatus& operator=(const CFbStatus&) = delete;

    // The argument every OO API call takes.
    Firebird::CheckStatusWrapper* get() { return &_wrapper; }
    bool failed() const;
    // Throws osk::CException (what: `what`, why: the explained Firebird
    // error) when the last call failed, and clears the status either way.
    void check(const osk::CMessage& what, const char* context);
    void clear() { _wrapper.init(); }

private:
    Firebird::IStatus* _status;
    Firebird::CheckStatusWrapper _wrapper;
};

} // namespace fbprov
