#include "oodb/db_transaction.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

void CDBTransaction::requireWritable(const char* context) const
{
    if (!writable())
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteRecord),
                            osk::CMessage(CDBMessages::accessModeForbidsWrite)
                                .pushs(CDBConstants::accessModeName(_accessMode)),
                            context, CDBMessages::moduleOodb);
}
