#include "rconsole_database/cmd_sql_operation.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "extended/exception.h"
#include "prst_generic/prst_format.h"
#include "prst_generic/prst_query_template.h"
#include "prst_generic/prst_sql_query.h"
#include "prst_generic/security_strategy.h"
#include "rconsole_database/keyed_attributes.h"
#include "rconsole_database/rconsole_database_messages.h"
#include "standard/string_util.h"
#include "security/access_rights.h"

using M = CRConsoleDatabaseMessages;

namespace {

bool isDecimal(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

CCmdSQLOperation::CCmdSQLOperation(const std::string& name, const CPrstClassSpec& spec, CPrstContext& context,
                                   const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                                   const osk::CStringMap& request, const result_t& result)
    : osk::CAsyncCommand(name, spec.formalName()), _classSpec(spec), _prstContext(context), _sessionToken(token),
      _queryTimeOut(timeOut), _request(request), _arguments(request, token), _result(result)
{
}

void CCmdSQLOperation::execute(unsigned long)
{
    try {
        try {
            _prstContext.token(_sessionToken);
            *_result = _run();
            _result.success(true);
            return;
        } catch (const std::bad_alloc&) {
            throw OSK_EXCEPTION(osk::CMessage(M::cannotExecute, M::module).pushs(_classSpec.formalName()),
                                osk::CMessage(M::noMemory, M::module), "CCmdSQLOperation::execute", M::module);
        } catch (const osk::CException&) {
            throw;
        } catch (const std::exception& e) {
            // Nothing but the framework's exception may leave a command.
            throw OSK_EXCEPTION(osk::CMessage(M::cannotExecute, M::module).pushs(_classSpec.formalName()),
                                osk::CMessage(e.what()), "CCmdSQLOperation::execute", M::module);
        }
    } catch (const osk::CException& e) {
        _queryTimeOut.finish();
        _prstContext.rollback();
        _result.exceptionFacade().clear();
        _result.exceptionFacade().push(e);
        _result.success(false);
    }
}

CTextCommand CCmdSQLOperation::outcome(const result_t& result)
{
    result.wait();
    if (!result.success()) {
        const auto error = result.exceptionFacade().outer();
        if (error) throw osk::CException(*error);
        throw OSK_EXCEPTION(osk::CMessage(M::cannotProcessQuery, M::module), osk::CMessage(),
                            "CCmdSQLOperation::outcome", M::module);
    }
    return *result;
}

std::string CCmdSQLOperation::_getWhere(bool required) const
{
    const std::string condition =
        _arguments.where().empty() && _arguments.query() ? _storedCondition(*_arguments.query()) : _arguments.where();
    if (required && condition.empty())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotExecute, M::module).pushs(_classSpec.formalName()),
                            osk::CMessage(M::emptyWhere, M::module), "CCmdSQLOperation::_getWhere", M::module);
    return CSQLOperationArgs::securedWhere(condition, _classSpec, _sessionToken, osk::CAccessRights::read);
}

std::string CCmdSQLOperation::_storedCondition(const std::string& name) const
{
    if (name.empty())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotProcessQuery, M::module), osk::CMessage(M::noQueryName, M::module),
                            "CCmdSQLOperation::_storedCondition", M::module);
    // The query is read in the command's own transaction.
    _openRead();
    const bool byOid = isDecimal(name);
    const osk::CMessage notFound(byOid ? M::queryOidNotFound : M::queryNotFound, M::module);
    CPrstSQLQuery::ptr_t query;
    if (byOid) {
        query = CPrstSQLQuery::find(_prstContext, std::stoll(name));
        if (!query)
            throw OSK_EXCEPTION(osk::CMessage(notFound).pushs(name), osk::CMessage(M::objectMissing, M::module),
                                "CCmdSQLOperation::_storedCondition", M::module);
    } else {
        auto found = CPrstSQLQuery::fastSelectRec(_prstContext, CPrstSQLQuery::kByNameStatement, {name}, 2);
        if (found.size() > 1)
            throw OSK_EXCEPTION(osk::CMessage(M::ambiguousQuery, M::module).pushs(name),
                                osk::CMessage(M::foundMany, M::module).pushs(name).push(uint64_t(found.size())),
                                "CCmdSQLOperation::_storedCondition", M::module);
        if (!found.empty()) query = std::move(found.front());
    }
    std::string whereTemplate;
    std::string arguments;
    bool readable = false;
    if (query) {
        try {
            const CSecurityStrategy<CPrstSQLQuery> secured(std::move(query), _sessionToken);
            whereTemplate = secured->whereTemplate();
            arguments = secured->args();
            readable = true;
        } catch (const osk::CException&) {
            // A query the session may not read is one it cannot find.
        }
    }
    if (!readable)
        throw OSK_EXCEPTION(osk::CMessage(notFound).pushs(name), osk::CMessage(M::noAccessOrMissing, M::module),
                            "CCmdSQLOperation::_storedCondition", M::module);
    std::vector<CPrstQueryTemplate::CArgument> typed;
    for (const std::string& item : osk::CStringUtil::split(arguments)) {
        const size_t colon = item.find(':');
        typed.push_back({item.substr(0, colon), colon == std::string::npos ? std::string() : item.substr(colon + 1)});
    }
    static const CPrstFormat format;
    return CPrstQueryTemplate(format, whereTemplate, typed).fill(_request);
}

void CCmdSQLOperation::_endOpenTransaction()
{
    _queryTimeOut.finish();
    _prstContext.rollback();
}

void CCmdSQLOperation::_openRead() const
{
    _queryTimeOut.finish();
    if (_prstContext.inTransaction() && _prstContext.transaction().isActiveTransaction()) return;
    _prstContext.rollback();
    _prstContext.begin(CDBConstants::READ_ONLY_ACCESS);
}

void CCmdSQLOperation::_leaveRead(const CSelectTransactionPolicy& policy)
{
    if (policy.forceCommitAfterSelect) _prstContext.commit();
    else _queryTimeOut.start(policy.commitTimeOut, _prstContext.transaction());
}

void CCmdSQLOperation::_checkAttributes(const osk::CStringMap& known, const char* keyed) const
{
    if (const auto key = unknownAttribute(_arguments.attributes(), known, keyed))
        _fail(M::cannotExecute,
              osk::CMessage(M::unknownAttribute, M::module).pushs(*key).pushs(_classSpec.formalName()).formatted());
}

std::vector<int64_t> CCmdSQLOperation::_matchingOids(const std::string& condition) const
{
    std::vector<int64_t> oids;
    const std::string sql = "SELECT T.PK FROM " + _classSpec.table() + " T" +
                            (condition.empty() ? std::string() : " WHERE " + condition) + " ORDER BY T.PK";
    auto rows = _prstContext.transaction().select(sql);
    while (rows->fetch()) oids.push_back(rows->asInt64("PK"));
    return oids;
}

std::string CCmdSQLOperation::_oidList(const std::vector<int64_t>& oids, size_t from, size_t count, CDBValues& values)
{
    std::string list;
    for (size_t i = from; i < from + count && i < oids.size(); ++i) {
        list += list.empty() ? "?" : ",?";
        values.emplace_back(oids[i]);
    }
    return "T.PK IN (" + list + ")";
}

void CCmdSQLOperation::_fail(const char* what, const std::string& why) const
{
    throw OSK_EXCEPTION(osk::CMessage(what, M::module).pushs(_classSpec.formalName()), osk::CMessage(why),
                        "CCmdSQLOperation::_fail", M::module);
}
