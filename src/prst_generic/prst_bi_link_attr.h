#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prst_generic/prst_relation.h"

// One side of an ordered many-to-many relation kept in a link table that
// both sides share: BI_SRC_REF and BI_DEST_REF hold the OIDs of the source
// and the destination, DEST_SEQ_KEY the order on the source side and
// DEST_EXT_SEQ_KEY the order on the destination side; SRC_ATTR_NAME and
// DEST_ATTR_NAME name the attribute of each side. Writing one side keeps
// the other side's order of the rows it keeps; a new row goes last on the
// other side. Deleting either end removes its rows.
class CPrstBiLinkAttr : public CPrstRelation {
public:
    enum role_t {
        source = 0,
        destination = 1
    };

    CPrstBiLinkAttr(CPrstUserBase& owner, std::string table, std::string sourceAttribute,
                    std::string destinationAttribute, role_t role);

    // The OIDs of the other side, in this side's order.
    const std::vector<int64_t>& targets() const { return _targets; }
    void targets(const std::vector<int64_t>& targets) { _targets = targets; }

    void afterWrite() override;
    void afterLoad() override;
    void beforeDelete() override;
    void rollback() override { _targets = _saved; }

private:
    // The column names as seen from this side.
    const char* _myRef() const { return _role == source ? "BI_SRC_REF" : "BI_DEST_REF"; }
    const char* _otherRef() const { return _role == source ? "BI_DEST_REF" : "BI_SRC_REF"; }
    const char* _mySeq() const { return _role == source ? "DEST_SEQ_KEY" : "DEST_EXT_SEQ_KEY"; }
    const char* _otherSeq() const { return _role == source ? "DEST_EXT_SEQ_KEY" : "DEST_SEQ_KEY"; }
    const std::string& _myAttribute() const { return _role == source ? _sourceAttribute : _destinationAttribute; }
    int64_t _nextOtherSequence(int64_t other) const;

    std::string _table;
    std::string _sourceAttribute;
    std::string _destinationAttribute;
    role_t _role;
    std::vector<int64_t> _targets;
    std::vector<int64_t> _saved;
};
