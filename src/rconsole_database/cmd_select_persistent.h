#pragma once

#include <string>

#include "rconsole_database/readable_object.h"
#include "rconsole_base/i_direct_reply_proxy.h"
#include "rconsole_database/cmd_sql_operation.h"
#include "rconsole_database/console_query.h"

// The first page of a console's select of class T: the stored query is
// opened over the request's condition (with the security filter for
// reading) and sort, and each object of its first page that the session may
// read is streamed to the console as its text form. The read transaction is
// then committed or left open for the next page, as the policy says.
template <class T>
class CCmdSelectPersistent : public CCmdSQLOperation {
public:
    CCmdSelectPersistent(CIDirectReplyProxy& reply, CConsoleQuery<T>& query, const CSelectTransactionPolicy& policy,
                         CPrstContext& context, const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                         const osk::CStringMap& request, const result_t& result)
        : CCmdSQLOperation("select-persistent", T::spec(), context, token, timeOut, request, result), _reply(reply),
          _query(query), _policy(policy)
    {
    }

protected:
    CTextCommand _run() override
    {
        osk::CStringMap selectArgs;
        selectArgs.set_string("where", _getWhere(false));
        if (!_args().sort().empty()) {
            const std::string column = _args().sortIsProperty() ? T::spec().attrToColumn(_args().sort())
                                                                : _args().sort();
            selectArgs.set_string("sort_property", column);
        }
        selectArgs.set_string("sort_order", _args().descending() ? "desc" : "asc");
        _openRead();
        _query.open(_context(), selectArgs);
        _sendPage();
        return CTextCommand(CTextCommand::ack);
    }

    // Streams the query's next page; stops early when the console is gone.
    void _sendPage()
    {
        for (auto& object : _query.nextPage(_context())) {
            if (!_reply.cooked(readableAttributes<T>(std::move(object), _token()))) break;
        }
        _leaveRead(_policy);
    }

    CIDirectReplyProxy& _reply;
    CConsoleQuery<T>& _query;
    CSelectTransactionPolicy _policy;
};

// The next page of the console's stored select of class T, closed with the
// final reply sent through the console itself.
template <class T>
class CCmdSelectNextPersistent : public CCmdSelectPersistent<T> {
public:
    using CCmdSelectPersistent<T>::CCmdSelectPersistent;

protected:
    CTextCommand _run() override
    {
        this->_openRead();
        this->_sendPage();
        const CTextCommand done(CTextCommand::ack);
        this->_reply.cookedComplete(done);
        return done;
    }
};
