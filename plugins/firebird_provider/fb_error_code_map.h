#pragma once

#include "oodb/db_error_code_map.h"

namespace fbprov {

// Firebird's status codes (isc_*) that the layer tells apart, mapped to the
// layer's error codes. Codes of one family (a unique index and a unique
// constraint, the network failures) share a layer code.
class CFbErrorCodeMap {
public:
    static const CDBErrorCodeMap& instance();
};

} // namespace fbprov
