#pragma once

#include <string>
#include <utility>
#include <vector>

#include "prst_generic/prst_link_rows.h"
#include "prst_generic/prst_relation.h"
#include "prst_generic/prst_user_base.h"
#include "standard/tracked_factory.h"

// A one-to-many relation to Target records that belong to the owner: kept
// in a link table, written after the owner (targets first, then the link
// rows), loaded with it and deleted with it. Targets taken out are deleted
// at the owner's next commit.
template <class Target>
class CPrstOwnedLinkAttr : public CPrstRelation {
public:
    struct item_t {
        osk::CTrackedPtr<Target> target;
        // The name key of a link by name.
        std::string name;
    };
    using items_t = std::vector<item_t>;

    CPrstOwnedLinkAttr(CPrstUserBase& owner, const char* table, const char* attribute, const char* targetAttribute,
                       CPrstLinkRows::kind_t kind)
        : CPrstRelation(owner), _rows(table, attribute, targetAttribute, kind)
    {
    }

    const items_t& items() const { return _items; }
    void add(osk::CTrackedPtr<Target> target, const std::string& name = std::string())
    {
        _items.push_back(item_t{std::move(target), name});
    }
    // Takes out the item at index; its record goes at the next commit.
    void erase(size_t index)
    {
        _removed.push_back(std::move(_items[index].target));
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(index));
    }
    void clear()
    {
        while (!_items.empty()) erase(_items.size() - 1);
    }

    void afterWrite() override
    {
        for (auto& gone : _removed) gone->deletePersistent();
        _removed.clear();
        CPrstLinkRows::entries_t entries;
        for (item_t& item : _items) {
            item.target->commit();
            entries.push_back(CPrstLinkRows::entry_t{item.target->oid(), item.name});
        }
        _rows.write(owner().context(), owner().oid(), entries);
    }
    void afterLoad() override
    {
        _items.clear();
        _removed.clear();
        for (const CPrstLinkRows::entry_t& entry : _rows.read(owner().context(), owner().oid())) {
            auto target = Target::find(owner().context(), entry.target);
            if (target) add(std::move(target), entry.name);
        }
    }
    void beforeDelete() override
    {
        _rows.remove(owner().context(), owner().oid());
        for (auto& gone : _removed) gone->deletePersistent();
        _removed.clear();
        for (item_t& item : _items) item.target->deletePersistent();
    }
    // Records taken out since the last load come back; records added are
    // not written.
    void rollback() override
    {
        if (owner().existing()) afterLoad();
    }

private:
    CPrstLinkRows _rows;
    items_t _items;
    std::vector<osk::CTrackedPtr<Target>> _removed;
};
