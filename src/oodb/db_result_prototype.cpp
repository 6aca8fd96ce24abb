#include "oodb/db_result_prototype.h"

#include <utility>

#include "oodb/db_constants.h"

namespace {

enum read_as_t { AS_INTEGER, AS_DOUBLE, AS_TEXT };

read_as_t readAs(CDBFieldType::type_t type)
{
    switch (type) {
    case CDBFieldType::DB_TYPE_USHORT:
    case CDBFieldType::DB_TYPE_ULONG:
    case CDBFieldType::DB_TYPE_BOOL:
    case CDBFieldType::DB_TYPE_SHORT:
    case CDBFieldType::DB_TYPE_INT32:
    case CDBFieldType::DB_TYPE_LONG:
    case CDBFieldType::DB_TYPE_INT64:
    case CDBFieldType::DB_TYPE_UINT64:
    case CDBFieldType::DB_TYPE_UINT32:
        return AS_INTEGER;
    case CDBFieldType::DB_TYPE_DOUBLE:
    case CDBFieldType::DB_TYPE_FLOAT:
        return AS_DOUBLE;
    default:
        return AS_TEXT;
    }
}

} // namespace

CDBResultPrototype::CDBResultPrototype(std::string name, CDBTypeStringMap columnDefs)
    : _name(std::move(name)), _columnDefs(std::move(columnDefs))
{
    _columnDefs.setType(CDBConstants::primaryKeyColumn, CDBFieldType::DB_TYPE_LONG);
}

CDBResultClone CDBResultPrototype::clone(const CDBRows& rows) const
{
    CDBRow values;
    for (const std::string& column : _columnDefs.columnNames()) {
        CDBValue& value = values[column];
        if (rows.isNull(column)) continue;
        switch (readAs(_columnDefs.type(column))) {
        case AS_INTEGER: value = rows.asInt64(column); break;
        case AS_DOUBLE: value = rows.asDouble(column); break;
        case AS_TEXT: value = rows.asString(column); break;
        }
    }
    return CDBResultClone(std::move(values));
}
