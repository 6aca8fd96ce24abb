#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "prst_generic/prst_class_spec.h"
#include "security/access_rights.h"
#include "security/user_access_token.h"
#include "standard/string_map.h"

// The common arguments of a console request on persistent objects, read and
// checked before any database work:
//   where          SQL condition on the class's table (aliased T)
//   query          name or decimal OID of a stored query (not with where)
//   join           extra join text (not supported: a non-empty one is
//                  refused)
//   count          objects per page (default 50)
//   depth          depth to which linked objects are loaded (default 20;
//                  checked, but objects are always loaded with all their
//                  links)
//   bulk           objects changed per batch by update and delete (4096)
//   sort_property  sort attribute; wins over sort_column
//   sort_column    sort column
//   sort_order     "asc" or "desc"
//   pager_type     "db" or "pk"
//   pager          the name under which a console keeps a paged query
//   args           comma-separated arguments of a stored query (beside
//                  "query"; without it "args" is an attribute)
// Every other entry of the request (but "code") is an attribute of the
// object to insert or of the objects to update.
//
// The where text goes into the statement as it is, so it is checked to stay
// one condition: balanced parentheses outside quoted text, every quote
// closed, no ";" and no comment, at most maxWhereLength characters; a token
// without the administrators' domain may not use sub-selects (they would
// read tables past the security filter).
class CSQLOperationArgs {
public:
    static constexpr int64_t defaultCount = 50;
    static constexpr int64_t defaultDepth = 20;
    static constexpr int64_t defaultBulk = 4096;
    static constexpr size_t maxWhereLength = 16 * 1024;

    // Throws "Cannot process query." with the reason for any argument that
    // is malformed, and for where together with query.
    CSQLOperationArgs(const osk::CStringMap& request, const osk::CUserAccessToken& token);

    const std::string& where() const { return _where; }
    const std::optional<std::string>& query() const { return _query; }
    int64_t count() const { return _count; }
    bool countGiven() const { return _countGiven; }
    int64_t bulk() const { return _bulk; }
    // The sort attribute (sort_property) or, without one, sort_column;
    // empty when neither is given. sortIsProperty() tells which.
    const std::string& sort() const { return _sort; }
    bool sortIsProperty() const { return _sortIsProperty; }
    bool descending() const { return _descending; }
    // "db", "pk", or empty when not given.
    const std::string& pagerType() const { return _pagerType; }
    const std::string& pager() const { return _pager; }
    // The request without the arguments above: the object's attributes.
    const osk::CStringMap& attributes() const { return _attributes; }

    // Whether key is one of the arguments above.
    static bool isArgument(const std::string& key);
    // Throws "Cannot process query." with the reason when where is not one
    // condition (see the class comment).
    static void checkWhere(const std::string& where, bool mayUseSubselects);
    // The condition with the token's domain filter for right on the class:
    // the condition is parenthesised first, so that an OR in it cannot
    // reach past the filter.
    static std::string securedWhere(const std::string& condition, const CPrstClassSpec& spec,
                                    const osk::CUserAccessToken& token, osk::CAccessRights::right_t right);

private:
    static int64_t _positive(const osk::CStringMap& request, const char* key, int64_t defaultValue);
    [[noreturn]] static void _refuse(const std::string& why);

    std::string _where;
    std::optional<std::string> _query;
    int64_t _count = defaultCount;
    bool _countGiven = false;
    int64_t _bulk = defaultBulk;
    std::string _sort;
    bool _sortIsProperty = false;
    bool _descending = false;
    std::string _pagerType;
    std::string _pager;
    osk::CStringMap _attributes;
};
