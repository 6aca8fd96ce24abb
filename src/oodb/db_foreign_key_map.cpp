#include "oodb/db_foreign_key_map.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

namespace {

[[noreturn]] void throwNotFound(const std::string& attribute)
{
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::noForeignKeyValue).pushs(attribute),
                        osk::CMessage(CDBMessages::noSuchAttribute), "CDBForeignKeyMap::find",
                        CDBMessages::moduleOodb);
}

} // namespace

const CDBForeignKeyValue& CDBForeignKeyMap::find(const std::string& attribute) const
{
    const auto found = _values.find(attribute);
    if (found == _values.end()) throwNotFound(attribute);
    return found->second;
}

CDBForeignKeyValue& CDBForeignKeyMap::find(const std::string& attribute)
{
    const auto found = _values.find(attribute);
    if (found == _values.end()) throwNotFound(attribute);
    return found->second;
}

void CDBForeignKeyMap::remove(const std::string& attribute)
{
    if (_values.erase(attribute) == 0) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotRemoveForeignKeyValue).pushs(attribute),
                            osk::CMessage(CDBMessages::noSuchAttribute), "CDBForeignKeyMap::remove",
                            CDBMessages::moduleOodb);
    }
}
