#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <firebird/Interface.h>

#include "extended/exception.h"
#include "oodb/db_exception.h"

namespace fbprov {

// Turns Firebird's status vector into the provider's exceptions: the what
// text names the failed operation, the why text says in plain words what
// went wrong and what to do, followed by Firebird's own message. The first
// error code of the vector travels as the exception's error number, and the
// layer's error code (from the provider's error-code map) with the
// exception, so that callers tell a duplicate key from a lock conflict.
class CFbError {
public:
    static constexpr const char* module = "firebird_provider";

    static CDBException make(const osk::CMessage& what, Firebird::IStatus* status, const char* context);
    // An error found by the provider itself, without a Firebird status.
    static osk::CException make(const osk::CMessage& what, const osk::CMessage& why, const char* context);

    // The error codes (isc_arg_gds entries) of a status vector, in order.
    static std::vector<intptr_t> codes(const intptr_t* vector);
    // The plain explanation of the first code that has one; a general text
    // when none has.
    static std::string explanation(const std::vector<intptr_t>& codes);
    // Firebird's formatted message, lines joined by "; ".
    static std::string firebirdText(Firebird::IStatus* status);
};

} // namespace fbprov
