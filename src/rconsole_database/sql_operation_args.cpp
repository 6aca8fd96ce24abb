#include "rconsole_database/sql_operation_args.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "extended/exception.h"
#include "prst_generic/prst_secured_select.h"
#include "rconsole_database/rconsole_database_messages.h"
#include "security/domain_id.h"
#include "standard/string_util.h"

using M = CRConsoleDatabaseMessages;

namespace {

const char* const kWhere = "where";
const char* const kQuery = "query";
const char* const kJoin = "join";
const char* const kCount = "count";
const char* const kDepth = "depth";
const char* const kBulk = "bulk";
const char* const kSortProperty = "sort_property";
const char* const kSortColumn = "sort_column";
const char* const kSortOrder = "sort_order";
const char* const kPagerType = "pager_type";
const char* const kPager = "pager";
const char* const kArgs = "args";
const char* const kCode = "code";

const char* const kArguments[] = {kWhere,      kQuery,     kJoin,      kCount, kDepth, kBulk, kSortProperty,
                                  kSortColumn, kSortOrder, kPagerType, kPager, kArgs,  kCode};

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

// Whether text holds the keyword SELECT as a word of its own at position at.
bool selectAt(const std::string& text, size_t at)
{
    static const std::string keyword = "SELECT";
    if (at + keyword.size() > text.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != keyword[i]) return false;
    const bool startsWord = at == 0 || !isWordChar(text[at - 1]);
    const bool endsWord = at + keyword.size() == text.size() || !isWordChar(text[at + keyword.size()]);
    return startsWord && endsWord;
}

bool holdsSuperUser(const osk::CUserAccessToken& token)
{
    return token.tableRights().find(osk::CDomainID::superUsersID()) != nullptr;
}

} // namespace

CSQLOperationArgs::CSQLOperationArgs(const osk::CStringMap& request, const osk::CUserAccessToken& token)
{
    _where = osk::CStringUtil::trim(request.get_string(kWhere, std::string()), osk::CStringUtil::whitespace);
    if (request.defined(kQuery)) {
        if (request.defined(kWhere)) _refuse(M::whereAndQuery);
        _query = osk::CStringUtil::trim(request.get_string(kQuery, std::string()));
        if (_query->empty()) _refuse(M::noQueryName);
    }
    checkWhere(_where, holdsSuperUser(token));
    // Selects page over the class's own table alone, so a join has nowhere
    // to go: refused rather than ignored.
    if (!osk::CStringUtil::trim(request.get_string(kJoin, std::string())).empty()) _refuse(M::noJoin);
    _countGiven = request.defined(kCount);
    _count = _positive(request, kCount, defaultCount);
    // Checked only: objects are always loaded with all their links.
    _positive(request, kDepth, defaultDepth);
    _bulk = _positive(request, kBulk, defaultBulk);
    if (request.defined(kSortProperty)) {
        _sort = request.get_string(kSortProperty, std::string());
        _sortIsProperty = true;
    } else {
        _sort = request.get_string(kSortColumn, std::string());
    }
    const std::string order = request.get_string(kSortOrder, std::string());
    if (order == "desc" || order == "DESC") _descending = true;
    else if (!order.empty() && order != "asc" && order != "ASC")
        _refuse(osk::CMessage(M::badSortOrder, M::module).pushs(order).formatted());
    _pagerType = request.get_string(kPagerType, std::string());
    if (!_pagerType.empty() && _pagerType != "db" && _pagerType != "pk")
        _refuse(osk::CMessage(M::badPagerType, M::module).pushs(_pagerType).formatted());
    _pager = request.get_string(kPager, std::string());
    // "args" holds a stored query's values only beside "query"; otherwise it
    // is an attribute (the argument list of a stored query itself).
    const bool queryArgs = request.defined(kQuery);
    for (const auto& entry : request)
        if (!isArgument(entry.first) || (entry.first == kArgs && !queryArgs))
            _attributes.string_insert(entry.first, entry.second);
}

bool CSQLOperationArgs::isArgument(const std::string& key)
{
    for (const char* argument : kArguments)
        if (key == argument) return true;
    return false;
}

int64_t CSQLOperationArgs::_positive(const osk::CStringMap& request, const char* key, int64_t defaultValue)
{
    if (!request.defined(key)) return defaultValue;
    const std::string text = osk::CStringUtil::trim(request.get_string(key, std::string()));
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value <= 0)
        _refuse(osk::CMessage(M::notPositive, M::module).pushs(key).pushs(text).formatted());
    return value;
}

void CSQLOperationArgs::checkWhere(const std::string& where, bool mayUseSubselects)
{
    if (where.size() > maxWhereLength)
        _refuse(osk::CMessage(M::whereTooLong, M::module).push(static_cast<uint64_t>(maxWhereLength)).formatted());
    long depth = 0;
    char quote = '\0';
    for (size_t i = 0; i < where.size(); ++i) {
        const char c = where[i];
        if (quote) {
            // A doubled quote inside quoted text ends the text and opens it
            // again at once, which keeps the count right.
            if (c == quote) quote = '\0';
            continue;
        }
        const char next = i + 1 < where.size() ? where[i + 1] : '\0';
        if (c == '\'' || c == '"') quote = c;
        else if (c == '(') ++depth;
        else if (c == ')' && --depth < 0) _refuse(M::unbalanced);
        else if (c == ';' || (c == '-' && next == '-') || (c == '/' && next == '*')) _refuse(M::separator);
        else if (!mayUseSubselects && selectAt(where, i)) _refuse(M::subselect);
    }
    if (quote) _refuse(M::unterminated);
    if (depth != 0) _refuse(M::unbalanced);
}

std::string CSQLOperationArgs::securedWhere(const std::string& condition, const CPrstClassSpec& spec,
                                            const osk::CUserAccessToken& token, osk::CAccessRights::right_t right)
{
    return CPrstSecuredSelect::condition(token, spec, right, condition.empty() ? condition : "(" + condition + ")");
}

void CSQLOperationArgs::_refuse(const std::string& why)
{
    throw OSK_EXCEPTION(osk::CMessage(M::cannotProcessQuery, M::module), osk::CMessage(why, M::module),
                        "CSQLOperationArgs::CSQLOperationArgs", M::module);
}
