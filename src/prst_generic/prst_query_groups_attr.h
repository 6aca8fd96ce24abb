#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "prst_generic/prst_bi_link_attr.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_user_base.h"
#include "standard/string_util.h"

// The groups a query belongs to, in the query's order: the destination side
// of the many-to-many link whose source side is Group's. In text the groups
// are their names joined by ","; the names are looked up when the owner is
// loaded (the owner calls lookUpNames() from its _afterLoad) or set, so
// that the text form needs no look-up.
template <class Group>
class CPrstQueryGroupsAttr {
public:
    CPrstQueryGroupsAttr(CPrstUserBase& owner, const char* table)
        : _owner(owner), _link(owner, table, "queries", "groups", CPrstBiLinkAttr::destination)
    {
    }

    const std::vector<int64_t>& oids() const { return _link.targets(); }

    std::string text() const
    {
        std::string list;
        for (int64_t group : _link.targets()) {
            auto name = _names.find(group);
            list += (list.empty() ? "" : ",") + (name == _names.end() ? std::to_string(group) : name->second);
        }
        return list;
    }
    // Sets the groups by name; throws for a name that names no group.
    void text(const std::string& names)
    {
        using M = CPrstGenericMessages;
        std::vector<int64_t> oids;
        for (const std::string& name : osk::CStringUtil::split(names, ",", osk::CStringUtil::whitespace)) {
            auto group = Group::findByName(_owner.context(), name);
            if (!group)
                throw OSK_EXCEPTION(osk::CMessage(M::cannotSetQuery, M::module),
                                    osk::CMessage(M::queryGroupDoesNotExist, M::module).pushs(name),
                                    "CPrstQueryGroupsAttr::text", M::module);
            oids.push_back(group->oid());
            _names[group->oid()] = name;
        }
        _link.targets(oids);
    }

    void lookUpNames()
    {
        _names.clear();
        for (int64_t oid : _link.targets()) {
            auto group = Group::find(_owner.context(), oid);
            if (group) _names[oid] = group->name();
        }
    }

private:
    CPrstUserBase& _owner;
    CPrstBiLinkAttr _link;
    std::map<int64_t, std::string> _names;
};
