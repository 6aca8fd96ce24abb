#include "oodb/db_prototype_mgr.h"

#include <algorithm>
#include <utility>

#include "extended/exception.h"
#include "oodb/db_controller.h"
#include "oodb/db_messages.h"
#include "oodb/db_table_interface.h"

CDBPrototypeMgr::CDBPrototypeMgr(CDBController& controller) : _controller(controller) {}

bool CDBPrototypeMgr::tableExist(const std::string& name) const
{
    return _entries.count(_aliases.get_string(name, name)) != 0;
}

CDBResultPrototype& CDBPrototypeMgr::createAndInsert(const std::string& name, const CDBTypeStringMap& columnDefs,
                                                     CDBTransaction& transaction)
{
    CDBTableInterface(_controller.registerTable(name, columnDefs)).createTable(transaction);
    return insert(name, CDBResultPrototype(name, columnDefs));
}

CDBResultPrototype& CDBPrototypeMgr::openAndInsert(const std::string& name, const CDBTypeStringMap& columnDefs)
{
    _controller.registerTable(name, columnDefs);
    return insert(name, CDBResultPrototype(name, columnDefs));
}

CDBResultPrototype& CDBPrototypeMgr::insert(const std::string& name, CDBResultPrototype prototype)
{
    _entries.erase(name);
    entry_t entry{std::move(prototype), CDBNumericContext(), CDBConstants::smallestKeyValue, true, {}};
    return _entries.emplace(name, std::move(entry)).first->second.prototype;
}

void CDBPrototypeMgr::remove(const std::string& name)
{
    _entry(name);
    _entries.erase(_aliases.get_string(name, name));
}

CDBResultPrototype& CDBPrototypeMgr::prototype(const std::string& name) { return _entry(name).prototype; }

size_t CDBPrototypeMgr::cloneSimple(const std::string& name, CDBTransaction& transaction)
{
    return _clone(name, transaction, CDBConstants::maxClonesPerSelect);
}

size_t CDBPrototypeMgr::cloneNested(const std::string& name, CDBTransaction& transaction)
{
    return _clone(name, transaction, CDBConstants::maxClonesNotSelecting);
}

size_t CDBPrototypeMgr::_clone(const std::string& name, CDBTransaction& transaction, size_t cap)
{
    entry_t& entry = _entry(name);
    entry.clones.clear();
    if (!entry.dataLeft) return 0;
    CDBTableInterface table(_controller.registerTable(entry.prototype.name(), entry.prototype.columnDefs()));
    // Bounded by the largest key stored: a range left open to the largest
    // possible key would not fit a smaller key column.
    const int64_t high = std::min(entry.context.high(), table.largestKey(transaction));
    bool more = entry.nextKey <= high;
    if (more) {
        std::unique_ptr<CDBRows> rows = table.selectRange(transaction, entry.nextKey, high);
        more = rows->fetch();
        while (more && entry.clones.size() < cap) {
            entry.clones.push_back(entry.prototype.clone(*rows));
            more = rows->fetch();
        }
    }
    // Keys are unique and ascending: a row after the last clone has a
    // larger key.
    if (more) entry.nextKey = entry.clones.back().key() + 1;
    entry.dataLeft = more;
    return entry.clones.size();
}

void CDBPrototypeMgr::update(const std::string& name, const CDBRow& values)
{
    entry_t& entry = _entry(name);
    auto key = values.find(CDBConstants::primaryKeyColumn);
    const int64_t* number = key == values.end() ? nullptr : std::get_if<int64_t>(&key->second);
    if (!number)
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteRecord), osk::CMessage(CDBMessages::keyNotInteger),
                            "CDBPrototypeMgr::update", CDBMessages::moduleOodb);
    for (const auto& [column, value] : values) {
        if (!entry.prototype.columnDefs().isDefined(column))
            throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteRecord),
                                osk::CMessage(CDBMessages::unknownColumn).pushs(entry.prototype.name()).pushs(column),
                                "CDBPrototypeMgr::update", CDBMessages::moduleOodb);
    }
    for (CDBResultClone& clone : entry.clones) {
        if (clone.key() != *number) continue;
        for (const auto& [column, value] : values) clone.value(column, value);
        return;
    }
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotFindRecord).push(*number),
                        osk::CMessage(CDBMessages::noSuchRecord), "CDBPrototypeMgr::update", CDBMessages::moduleOodb);
}

const CDBTypeStringMap& CDBPrototypeMgr::columnDefs(const std::string& name) const
{
    return _entry(name).prototype.columnDefs();
}

const std::vector<CDBResultClone>& CDBPrototypeMgr::clones(const std::string& name) const
{
    return _entry(name).clones;
}

bool CDBPrototypeMgr::dataLeft(const std::string& name) const { return _entry(name).dataLeft; }

bool CDBPrototypeMgr::anyDataLeft() const
{
    for (const auto& [name, entry] : _entries) {
        if (entry.dataLeft) return true;
    }
    return false;
}

void CDBPrototypeMgr::setContext(const std::string& name, const CDBNumericContext& context)
{
    entry_t& entry = _entry(name);
    entry.context = context;
    entry.nextKey = context.low();
    entry.dataLeft = context.low() <= context.high();
    entry.clones.clear();
}

CDBPrototypeMgr::entry_t& CDBPrototypeMgr::_entry(const std::string& name)
{
    return const_cast<entry_t&>(static_cast<const CDBPrototypeMgr&>(*this)._entry(name));
}

const CDBPrototypeMgr::entry_t& CDBPrototypeMgr::_entry(const std::string& name) const
{
    auto found = _entries.find(_aliases.get_string(name, name));
    if (found == _entries.end())
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotFindPrototype).pushs(name),
                            osk::CMessage(CDBMessages::noSuchPrototype), "CDBPrototypeMgr::find",
                            CDBMessages::moduleOodb);
    return found->second;
}
