#include "prst_generic/prst_bi_link_attr.h"

#include <algorithm>
#include <map>
#include <utility>

#include "prst_generic/prst_context.h"
#include "prst_generic/prst_user_base.h"

namespace {
// The rows of one end, in that end's order, through the statement file.
const char* const kSourceRows = "bilink.src.ref_name";
const char* const kDestinationRows = "bilink.dest.ref_name";
} // namespace

CPrstBiLinkAttr::CPrstBiLinkAttr(CPrstUserBase& owner, std::string table, std::string sourceAttribute,
                                 std::string destinationAttribute, role_t role)
    : CPrstRelation(owner), _table(std::move(table)), _sourceAttribute(std::move(sourceAttribute)),
      _destinationAttribute(std::move(destinationAttribute)), _role(role)
{
}

void CPrstBiLinkAttr::afterLoad()
{
    CPrstContext& context = owner().context();
    _targets.clear();
    {
        auto rows = context.transaction().select(
            context.statement(_role == source ? kSourceRows : kDestinationRows, _table),
            {_myAttribute(), owner().oid()});
        while (rows->fetch()) _targets.push_back(rows->asInt64(_otherRef()));
    }
    _saved = _targets;
}

int64_t CPrstBiLinkAttr::_nextOtherSequence(int64_t other) const
{
    CPrstContext& context = owner().context();
    auto rows = context.transaction().select("SELECT COALESCE(MAX(" + std::string(_otherSeq()) +
                                                 "), 0) + 1 AS NEXT_SEQ FROM " + _table +
                                                 " WHERE SRC_ATTR_NAME = ? AND " + _otherRef() + " = ?",
                                             {_sourceAttribute, other});
    rows->fetch();
    return rows->asInt64("NEXT_SEQ");
}

void CPrstBiLinkAttr::afterWrite()
{
    CPrstContext& context = owner().context();
    CDBTransaction& transaction = context.transaction();
    const int64_t me = owner().oid();

    std::map<int64_t, int64_t> rowOfOther;
    {
        auto rows = transaction.select(std::string("SELECT PK, ") + _otherRef() + " FROM " + _table +
                                           " WHERE SRC_ATTR_NAME = ? AND " + _myRef() + " = ?",
                                       {_sourceAttribute, me});
        while (rows->fetch()) rowOfOther[rows->asInt64(_otherRef())] = rows->asInt64("PK");
    }
    for (const auto& [other, row] : rowOfOther)
        if (std::find(_targets.begin(), _targets.end(), other) == _targets.end())
            transaction.execute("DELETE FROM " + _table + " WHERE PK = ?", {row});

    int64_t position = 0;
    for (int64_t other : _targets) {
        ++position;
        auto existing = rowOfOther.find(other);
        if (existing != rowOfOther.end()) {
            transaction.execute("UPDATE " + _table + " SET " + _mySeq() + " = ? WHERE PK = ?",
                                {position, existing->second});
            continue;
        }
        const int64_t key = context.nextKey(_table);
        const int64_t sourceRef = _role == source ? me : other;
        const int64_t destinationRef = _role == source ? other : me;
        const int64_t sourceSeq = _role == source ? position : _nextOtherSequence(other);
        const int64_t destinationSeq = _role == source ? _nextOtherSequence(other) : position;
        transaction.execute("INSERT INTO " + _table +
                                " (PK, OID, SRC_ATTR_NAME, SRC_ATTR_REF, DEST_ATTR_NAME, DEST_ATTR_REF, BI_SRC_REF, "
                                "BI_DEST_REF, DEST_SEQ_KEY, DEST_EXT_SEQ_KEY) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            {key, key, _sourceAttribute, sourceRef, _destinationAttribute, destinationRef, sourceRef,
                             destinationRef, sourceSeq, destinationSeq});
    }
    _saved = _targets;
}

void CPrstBiLinkAttr::beforeDelete()
{
    owner().context().transaction().execute("DELETE FROM " + _table + " WHERE SRC_ATTR_NAME = ? AND " + _myRef() +
                                                " = ?",
                                            {_sourceAttribute, owner().oid()});
}
