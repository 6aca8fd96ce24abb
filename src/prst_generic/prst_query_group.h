#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_bi_link_attr.h"

// A named, ordered group of queries: the source side of the many-to-many
// link whose destination side is the queries' groups attribute. T is the
// concrete class; it names its link table (kLinkTable) and the statement
// that selects a group by name (kByNameStatement). Text attributes: name
// and description.
template <class T>
class CPrstQueryGroup : public CPersistentSecuredObject<T> {
public:
    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }

    // The OIDs of the group's queries, in the group's order.
    const std::vector<int64_t>& queries() const { return _queries.targets(); }
    void queries(const std::vector<int64_t>& oids) { _queries.targets(oids); }

    // The group of a name, or null.
    static typename CIPersistentObject<T>::ptr_t findByName(CPrstContext& context, const std::string& name)
    {
        auto found = CIPersistentObject<T>::fastSelectRec(context, T::kByNameStatement, {name}, 1);
        return found.empty() ? typename CIPersistentObject<T>::ptr_t() : std::move(found.front());
    }

protected:
    explicit CPrstQueryGroup(CPrstContext& context) : CPersistentSecuredObject<T>(context) {}

private:
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstBiLinkAttr _queries{*this, T::kLinkTable, "queries", "groups", CPrstBiLinkAttr::source};
};
