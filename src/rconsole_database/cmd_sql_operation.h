#pragma once

#include <ace/Time_Value.h>

#include <cstdint>
#include <string>
#include <vector>

#include "extended/async_command.h"
#include "extended/ext_async_result.h"
#include "oodb_persistence/prst_query_time_out.h"
#include "prst_generic/prst_class_spec.h"
#include "prst_generic/prst_context.h"
#include "rconsole_base/text_command.h"
#include "rconsole_database/sql_operation_args.h"
#include "security/user_access_token.h"
#include "standard/string_map.h"

// How a console's select leaves its read transaction: committed after every
// page, or left open for the next page until the time-out commits it.
struct CSelectTransactionPolicy {
    bool forceCommitAfterSelect = false;
    ACE_Time_Value commitTimeOut{600};
};

// The base of the console's commands on persistent objects. It reads the
// request's common arguments (on the caller's thread, so that a bad argument
// is refused before any database work), runs the work on the database
// thread of the console's proxy under the session's token, and hands the
// outcome to the waiting caller: a CTextCommand, or the error, after the
// command's transaction has been rolled back.
class CCmdSQLOperation : public osk::CAsyncCommand {
public:
    using result_t = osk::CExtAsyncResult<CTextCommand>;
    // Keys of one select by OID list (Firebird takes at most 1500 values in
    // one IN list).
    static constexpr size_t oidsPerSelect = 1000;

    CCmdSQLOperation(const std::string& name, const CPrstClassSpec& spec, CPrstContext& context,
                     const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut, const osk::CStringMap& request,
                     const result_t& result);

    void execute(unsigned long threadIndex) final;
    void signalResult() override { _result.signal(); }

    // Waits for a posted command's result; throws its error.
    static CTextCommand outcome(const result_t& result);

protected:
    virtual CTextCommand _run() = 0;

    // The condition of the request with the security filter for reading:
    // "where", or the stored query's; required refuses an empty one.
    std::string _getWhere(bool required) const;

    // Ends a read transaction that an earlier select left open (and its
    // time-out); a write starts from a clean context.
    void _endOpenTransaction();
    // The open read transaction of the console's selects, begun when none
    // is open (or the time-out has committed it).
    void _openRead() const;
    // After a page: commits, or arms the time-out on the open transaction.
    void _leaveRead(const CSelectTransactionPolicy& policy);

    // Refuses an attribute that objects of the class do not have (see
    // unknownAttribute in keyed_attributes.h).
    void _checkAttributes(const osk::CStringMap& known, const char* keyed) const;

    // The OIDs of every object of the class that condition selects.
    std::vector<int64_t> _matchingOids(const std::string& condition) const;
    // "T.PK IN (?,...)" over oids.
    static std::string _oidList(const std::vector<int64_t>& oids, size_t from, size_t count, CDBValues& values);

    // The condition of the stored SQL query named by its decimal OID or its
    // name, its WHERE template filled from the request.
    std::string _storedCondition(const std::string& name) const;

    [[noreturn]] void _fail(const char* what, const std::string& why) const;

    const CPrstClassSpec& _spec() const { return _classSpec; }
    CPrstContext& _context() const { return _prstContext; }
    const osk::CUserAccessToken& _token() const { return _sessionToken; }
    CPrstQueryTimeOut& _timeOut() const { return _queryTimeOut; }
    const osk::CStringMap& _input() const { return _request; }
    const CSQLOperationArgs& _args() const { return _arguments; }

private:
    const CPrstClassSpec& _classSpec;
    CPrstContext& _prstContext;
    osk::CUserAccessToken _sessionToken;
    CPrstQueryTimeOut& _queryTimeOut;
    osk::CStringMap _request;
    CSQLOperationArgs _arguments;
    result_t _result;
};
