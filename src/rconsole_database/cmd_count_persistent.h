#pragma once

#include "rconsole_database/cmd_sql_operation.h"

// The number of objects of class T that the request's condition selects
// among those the session may read: "count" in the reply.
template <class T>
class CCmdCountPersistent : public CCmdSQLOperation {
public:
    CCmdCountPersistent(CPrstContext& context, const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                        const osk::CStringMap& request, const result_t& result)
        : CCmdSQLOperation("count-persistent", T::spec(), context, token, timeOut, request, result)
    {
    }

protected:
    CTextCommand _run() override
    {
        const std::string condition = _getWhere(false);
        _openRead();
        uint64_t count = 0;
        {
            auto rows = _context().transaction().select("SELECT COUNT(*) AS N FROM " + T::spec().table() + " T" +
                                                        (condition.empty() ? std::string() : " WHERE " + condition));
            if (rows->fetch()) count = static_cast<uint64_t>(rows->asInt64("N"));
        }
        _context().commit();
        CTextCommand reply(CTextCommand::ack);
        reply.set_uint64("count", count);
        return reply;
    }
};
