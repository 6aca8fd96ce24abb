#include "prst_generic/prst_user_base.h"

#include "extended/exception.h"
#include "prst_generic/prst_column_attr.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_relation.h"
#include "prst_generic/prst_value_traits.h"

using M = CPrstGenericMessages;

std::string CPrstUserBase::string() const
{
    return attributes().string();
}

void CPrstUserBase::string(const std::string& text)
{
    osk::CStringMap map;
    map.set(text);
    _set(map);
}

osk::CStringMap CPrstUserBase::attributes() const
{
    osk::CStringMap map;
    _get(map);
    return map;
}

std::string CPrstUserBase::locator() const
{
    const CPrstClassSpec& spec = classSpec();
    return (spec.formalName().empty() ? spec.className() : spec.formalName()) + ":" + std::to_string(_oid);
}

void CPrstUserBase::_get(osk::CStringMap& map) const
{
    for (const CPrstColumnAttr* column : _columns)
        if (!column->textName().empty()) map.set_string(column->textName(), column->text());
}

void CPrstUserBase::_set(const osk::CStringMap& map)
{
    for (CPrstColumnAttr* column : _columns) {
        if (column->textName().empty() || !map.defined(column->textName())) continue;
        const std::string value = map.get_string(column->textName());
        try {
            column->text(value);
        } catch (const osk::CException& e) {
            throw OSK_EXCEPTION(osk::CMessage(M::cannotSetAttribute, M::module).pushs(column->textName()),
                                osk::CMessage(e.printableError()), "CPrstUserBase::_set", M::module);
        }
    }
}

void CPrstUserBase::_oidFromText(const std::string& text)
{
    if (!_existing) _oid = CPrstValueTraits<int64_t>::fromText(text);
}

void CPrstUserBase::_wellKnownOid(int64_t oid)
{
    if (_existing) return;
    _oid = oid;
    _oidWellKnown = true;
}

void CPrstUserBase::_snapshot()
{
    _saved.clear();
    for (const CPrstColumnAttr* column : _columns) _saved.push_back(column->text());
}

CDBTypeStringMap CPrstUserBase::columnTypes() const
{
    CDBTypeStringMap types;
    types.setType("PK", CDBFieldType::DB_TYPE_LONG);
    types.setType("OID", CDBFieldType::DB_TYPE_LONG);
    for (const CPrstColumnAttr* column : _columns) types.setType(column->column(), column->type());
    return types;
}

void CPrstUserBase::readRow(const CDBRows& rows)
{
    _oid = rows.asInt64("PK");
    for (CPrstColumnAttr* column : _columns) column->read(rows);
    _existing = true;
}

void CPrstUserBase::finishLoad()
{
    for (CPrstRelation* relation : _relations) relation->afterLoad();
    _afterLoad();
    _snapshot();
}

void CPrstUserBase::commit()
{
    _checkWrite();
    const int64_t previousOid = _oid;
    try {
        if (!_existing && !_oidWellKnown) _oid = _context.nextKey(classSpec().table());
        _beforeWrite();
        for (CPrstRelation* relation : _relations) relation->beforeWrite();
        if (_existing) _updateRow();
        else _insertRow();
        _existing = true;
        for (CPrstRelation* relation : _relations) relation->afterWrite();
    } catch (...) {
        if (!_existing) _oid = previousOid;
        throw;
    }
    _snapshot();
}

void CPrstUserBase::_insertRow()
{
    std::string names = "PK, OID", marks = "?, ?";
    CDBValues values{_oid, _oid};
    for (const CPrstColumnAttr* column : _columns) {
        names += ", " + column->column();
        marks += ", ?";
        values.push_back(column->dbValue());
    }
    _context.transaction().execute("INSERT INTO " + classSpec().table() + " (" + names + ") VALUES (" + marks + ")",
                                   values);
}

void CPrstUserBase::_updateRow()
{
    std::string assignments = "OID = ?";
    CDBValues values(_columns.size() + 2);
    values.front() = _oid;
    for (size_t i = 0; i < _columns.size(); ++i) {
        assignments += ", " + _columns[i]->column() + " = ?";
        values[i + 1] = _columns[i]->dbValue();
    }
    values.back() = _oid;
    const uint64_t changed = _context.transaction().execute(
        "UPDATE " + classSpec().table() + " SET " + assignments + " WHERE PK = ?", values);
    if (changed == 0)
        throw OSK_EXCEPTION(osk::CMessage(M::cannotWriteObject, M::module).push(_oid).pushs(classSpec().className()),
                            osk::CMessage(M::objectNotFound, M::module).push(_oid).pushs(classSpec().className()),
                            "CPrstUserBase::_updateRow", M::module);
}

void CPrstUserBase::refresh()
{
    if (!_existing)
        throw OSK_EXCEPTION(osk::CMessage(M::noAccessOrMissing, M::module), osk::CMessage(M::notSaved, M::module),
                            "CPrstUserBase::refresh", M::module);
    {
        auto rows = _context.transaction().select("SELECT * FROM " + classSpec().table() + " WHERE PK = ?", {_oid});
        if (!rows->fetch())
            throw OSK_EXCEPTION(osk::CMessage(M::noAccessOrMissing, M::module),
                                osk::CMessage(M::objectNotFound, M::module).push(_oid).pushs(classSpec().className()),
                                "CPrstUserBase::refresh", M::module);
        readRow(*rows);
    }
    finishLoad();
}

void CPrstUserBase::rollback()
{
    if (_saved.size() == _columns.size())
        for (size_t i = 0; i < _columns.size(); ++i) _columns[i]->text(_saved[i]);
    for (CPrstRelation* relation : _relations) relation->rollback();
}

void CPrstUserBase::deletePersistent()
{
    if (!_existing) return;
    _checkWrite();
    _beforeDelete();
    for (CPrstRelation* relation : _relations) relation->beforeDelete();
    _context.transaction().execute("DELETE FROM " + classSpec().table() + " WHERE PK = ?", {_oid});
    _existing = false;
    for (CPrstRelation* relation : _relations) relation->afterDelete();
}
