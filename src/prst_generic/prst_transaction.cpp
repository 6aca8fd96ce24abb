#include "prst_generic/prst_transaction.h"

#include "prst_generic/prst_context.h"

CPrstTransaction::CPrstTransaction(CPrstContext& context, CDBConstants::trans_access_mode mode) : _context(context)
{
    _context.begin(mode);
}

CPrstTransaction::~CPrstTransaction()
{
    if (!_done) _context.rollback();
}

void CPrstTransaction::commit()
{
    _context.commit();
    _done = true;
}
