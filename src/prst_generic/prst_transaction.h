#pragma once

#include "oodb/db_constants.h"

class CPrstContext;

// A transaction of a context for the span of a scope: opened on
// construction, rolled back on leaving the scope unless commit() was called.
class CPrstTransaction {
public:
    CPrstTransaction(CPrstContext& context, CDBConstants::trans_access_mode mode = CDBConstants::READ_WRITE_ACCESS);
    ~CPrstTransaction();
    CPrstTransaction(const CPrstTransaction&) = delete;
    CPrstTransaction& operator=(const CPrstTransaction&) = delete;

    void commit();

private:
    CPrstContext& _context;
    bool _done = false;
};
