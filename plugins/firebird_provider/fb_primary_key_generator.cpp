#include "firebird_provider/fb_primary_key_generator.h"

#include "firebird_provider/fb_db_transaction.h"

namespace fbprov {

void CFbPrimaryKeyGenerator::create(CDBTransaction& transaction)
{
    transaction.requireWritable("CFbPrimaryKeyGenerator::create");
    _sequence.create(CFbDBTransaction::of(transaction));
}

bool CFbPrimaryKeyGenerator::exists(CDBTransaction& transaction)
{
    return _sequence.exists(CFbDBTransaction::of(transaction));
}

int64_t CFbPrimaryKeyGenerator::next(CDBTransaction& transaction)
{
    return _sequence.next(CFbDBTransaction::of(transaction));
}

void CFbPrimaryKeyGenerator::restart(CDBTransaction& transaction, int64_t value)
{
    transaction.requireWritable("CFbPrimaryKeyGenerator::restart");
    _sequence.restart(CFbDBTransaction::of(transaction), value);
}

} // namespace fbprov
