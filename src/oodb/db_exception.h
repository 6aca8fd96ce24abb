#pragma once

#include <utility>

#include "extended/exception.h"
#include "oodb/db_error_code_map.h"

// A failure reported by the database, carrying the layer's error code beside
// the usual what and why texts (the database's own return code stays the
// exception's error number).
class CDBException : public osk::CException {
public:
    CDBException(osk::CException failure, CDBErrorCodeMap::error_code_t code)
        : osk::CException(std::move(failure)), _code(code)
    {
    }

    CDBErrorCodeMap::error_code_t dbErrorCode() const { return _code; }

    osk::CException* _clone() const override { return osk::CTrackedFactory::create<CDBException>(*this); }

    // The layer's code of any exception: OTHER for one the database did not
    // report.
    static CDBErrorCodeMap::error_code_t codeOf(const osk::CException& failure);

private:
    CDBErrorCodeMap::error_code_t _code;
};
