#pragma once

#include <string>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_query_groups_attr.h"

// What SQL and SNMP queries share: a name, a description and the groups
// (Group records) the query belongs to. T is the concrete class; it names
// the link table to its groups (kGroupLinkTable) and the statement that
// selects a query by name (kByNameStatement). Text attributes: name,
// description and groups (group names joined by ",").
template <class T, class Group>
class CPrstSecuredQuery : public CPersistentSecuredObject<T> {
public:
    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }

    const std::vector<int64_t>& groups() const { return _groups.oids(); }
    // Sets the groups by name; throws "Cannot set query record from text."
    // for a name that names no group.
    void groups(const std::string& names) { _groups.text(names); }

    // The query of a name, or null.
    static typename CIPersistentObject<T>::ptr_t findByName(CPrstContext& context, const std::string& name)
    {
        auto found = CIPersistentObject<T>::fastSelectRec(context, T::kByNameStatement, {name}, 1);
        return found.empty() ? typename CIPersistentObject<T>::ptr_t() : std::move(found.front());
    }

protected:
    explicit CPrstSecuredQuery(CPrstContext& context) : CPersistentSecuredObject<T>(context) {}

    void _get(osk::CStringMap& map) const override
    {
        CPersistentSecuredObject<T>::_get(map);
        map.set_string("groups", _groups.text());
    }
    void _set(const osk::CStringMap& map) override
    {
        CPersistentSecuredObject<T>::_set(map);
        if (map.defined("groups")) groups(map.get_string("groups"));
    }
    void _afterLoad() override
    {
        CPersistentSecuredObject<T>::_afterLoad();
        _groups.lookUpNames();
    }

private:
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstQueryGroupsAttr<Group> _groups{*this, T::kGroupLinkTable};
};
