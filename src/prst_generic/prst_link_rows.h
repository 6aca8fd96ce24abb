#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CPrstContext;

// The rows of a one-to-many link table that belong to one attribute of one
// owner: SRC_ATTR_NAME (the attribute), SRC_ATTR_REF (the owner's OID),
// DEST_ATTR_NAME, DEST_ATTR_REF (the target's OID) and, by kind, the order
// number DEST_SEQ_KEY or the name key DEST_NAME_KEY.
class CPrstLinkRows {
public:
    enum kind_t {
        plain,
        ordered,
        byName
    };

    struct entry_t {
        int64_t target;
        std::string name;
    };
    using entries_t = std::vector<entry_t>;

    CPrstLinkRows(std::string table, std::string attribute, std::string targetAttribute, kind_t kind);

    const std::string& table() const { return _table; }
    kind_t kind() const { return _kind; }

    // The owner's entries: ordered links in their order, others in the
    // order they were written.
    entries_t read(CPrstContext& context, int64_t owner) const;
    // Replaces the owner's rows by one row per entry (ordered: numbered from
    // 1 in the order given).
    void write(CPrstContext& context, int64_t owner, const entries_t& entries) const;
    void remove(CPrstContext& context, int64_t owner) const;

private:
    std::string _table;
    std::string _attribute;
    std::string _targetAttribute;
    kind_t _kind;
};
