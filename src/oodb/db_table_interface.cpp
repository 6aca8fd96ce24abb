#include "oodb/db_table_interface.h"

#include "extended/exception.h"
#include "oodb/db_constants.h"
#include "oodb/db_messages.h"

CDBTableInterface::CDBTableInterface(CDBAccessorI& accessor)
    : _accessor(accessor), _expander(accessor.tableName(), accessor.columnDefs())
{
}

std::string CDBTableInterface::_createTableStatement() const
{
    std::string columns;
    const CDBTypeStringMap& defs = _expander.inputDefs();
    for (const std::string& name : defs.columnNames()) {
        if (!columns.empty()) columns += ", ";
        columns += name + " " + CDBFieldType::sqlType(defs.type(name));
        if (name == CDBConstants::primaryKeyColumn) columns += " NOT NULL";
    }
    return "CREATE TABLE " + tableName() + " (" + columns + ")";
}

void CDBTableInterface::createTable(CDBTransaction& transaction)
{
    transaction.requireWritable("CDBTableInterface::createTable");
    transaction.execute(_createTableStatement());
    std::string constraint = _expander.expand(CDBConstants::primaryKeyConstraintTemplate);
    transaction.execute(constraint);
    _accessor.primaryKeyGenerator().create(transaction);
}

CDBValues CDBTableInterface::_values(const CDBRow& row) const
{
    const CDBTypeStringMap& defs = _expander.inputDefs();
    for (const auto& [column, value] : row) {
        if (!defs.isDefined(column))
            throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteRecord),
                                osk::CMessage(CDBMessages::unknownColumn).pushs(tableName()).pushs(column),
                                "CDBTableInterface::values", CDBMessages::moduleOodb);
    }
    CDBValues values;
    for (const std::string& column : defs.columnNames()) {
        auto found = row.find(column);
        values.push_back(found == row.end() ? CDBValue() : found->second);
    }
    return values;
}

int64_t CDBTableInterface::insert(CDBTransaction& transaction, const CDBRow& row)
{
    transaction.requireWritable("CDBTableInterface::insert");
    CDBRow keyed = row;
    CDBValue& key = keyed[CDBConstants::primaryKeyColumn];
    if (std::holds_alternative<std::monostate>(key))
        key = _accessor.getNextPrimaryKeyValue(transaction);
    const int64_t* number = std::get_if<int64_t>(&key);
    if (!number)
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteRecord),
                            osk::CMessage(CDBMessages::keyNotInteger), "CDBTableInterface::insert",
                            CDBMessages::moduleOodb);
    transaction.execute(_expander.statement("INSERT_ALL_FIELDS"), _values(keyed));
    return *number;
}

std::unique_ptr<CDBRows> CDBTableInterface::select(CDBTransaction& transaction, int64_t key)
{
    return transaction.select(_expander.statement("SELECT_WITH_PRIMARY_KEY"), {key});
}

std::unique_ptr<CDBRows> CDBTableInterface::selectRange(CDBTransaction& transaction, int64_t low, int64_t high)
{
    return transaction.select(_expander.statement("SELECT_PK_RANGE"), {low, high});
}

uint64_t CDBTableInterface::update(CDBTransaction& transaction, int64_t key, const CDBRow& row)
{
    transaction.requireWritable("CDBTableInterface::update");
    CDBRow keyed = row;
    keyed[CDBConstants::primaryKeyColumn] = key;
    CDBValues values = _values(keyed);
    values.push_back(key);
    return transaction.execute(_expander.statement("UPDATE_WITHOUT_CURSOR"), values);
}

uint64_t CDBTableInterface::remove(CDBTransaction& transaction, int64_t key)
{
    transaction.requireWritable("CDBTableInterface::remove");
    return transaction.execute(_expander.statement("DELETE_WITHOUT_CURSOR"), {key});
}

int64_t CDBTableInterface::largestKey(CDBTransaction& transaction)
{
    std::unique_ptr<CDBRows> rows = transaction.select(_expander.statement("SELECT_LARGEST_PRIMARY_KEY"));
    if (!rows->fetch() || rows->isNull(rows->firstColumn()))
        return CDBConstants::initialKeyValue;
    return rows->asInt64(rows->firstColumn());
}

std::unique_ptr<CDBRows> CDBTableInterface::selectForUpdate(CDBTransaction& transaction, int64_t key)
{
    transaction.requireWritable("CDBTableInterface::selectForUpdate");
    return transaction.select(_expander.statement("SELECT_SINGLE_FOR_CURSOR"), {key});
}

uint64_t CDBTableInterface::updateCurrent(CDBTransaction& transaction, const CDBRows& cursor, const CDBRow& row)
{
    transaction.requireWritable("CDBTableInterface::updateCurrent");
    CDBRow keyed = row;
    keyed[CDBConstants::primaryKeyColumn] = cursor.asInt64(CDBConstants::primaryKeyColumn);
    return transaction.execute(_expander.statement("UPDATE_SHORT_USING_CURSOR"), _values(keyed));
}

uint64_t CDBTableInterface::removeCurrent(CDBTransaction& transaction)
{
    transaction.requireWritable("CDBTableInterface::removeCurrent");
    return transaction.execute(_expander.statement("DELETE_SHORT_USING_CURSOR"));
}
