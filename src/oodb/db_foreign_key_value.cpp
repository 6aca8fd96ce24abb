#include "oodb/db_foreign_key_value.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

void CDBForeignKeyValue::key(int64_t value)
{
    if (value != _key) _cached.reset();
    _key = value;
}

std::shared_ptr<osk::CObject> CDBForeignKeyValue::reference() const
{
    std::shared_ptr<osk::CObject> object = _cached.lock();
    if (!object) {
        throw OSK_EXCEPTION(
            osk::CMessage(CDBMessages::cannotReferenceForeignKey).pushs(_attribute).pushs(_className).push(_key),
            osk::CMessage(CDBMessages::cachedPointerInvalid), "CDBForeignKeyValue::reference",
            CDBMessages::moduleOodb);
    }
    return object;
}
