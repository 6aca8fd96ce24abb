#pragma once

#include <string>

#include "oodb/db_value.h"
#include "prst_generic/prst_class_spec.h"
#include "prst_generic/prst_context.h"
#include "security/access_rights.h"

// Selects of a class that keep to the objects the context's token holds a
// right on: the domain filter of the token is added to the select's
// condition (a token of the administrators' domain sees everything). The
// main table is aliased T; conditions and sorts use attrToColumn names.
class CPrstSecuredSelect {
public:
    // "SELECT T.* FROM <table> T", the condition where and the filter, and
    // orderBy when given.
    static std::string sql(const CPrstContext& context, const CPrstClassSpec& spec, osk::CAccessRights::right_t right,
                           const std::string& where, const std::string& orderBy = std::string());
    // The condition of such a select alone: where with the token's filter
    // for right on the class (where unchanged when nothing is filtered).
    static std::string condition(const osk::CUserAccessToken& token, const CPrstClassSpec& spec,
                                 osk::CAccessRights::right_t right, const std::string& where);

    template <class T>
    static typename T::list_t select(CPrstContext& context, const std::string& where = std::string(),
                                     const CDBValues& args = CDBValues(), const std::string& orderBy = std::string(),
                                     size_t maxObjects = T::unlimited)
    {
        return T::select(context, sql(context, T::spec(), osk::CAccessRights::read, where, orderBy), args, maxObjects);
    }
};
