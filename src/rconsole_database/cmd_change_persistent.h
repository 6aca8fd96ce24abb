#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "prst_generic/prst_transaction.h"
#include "rconsole_database/cmd_sql_operation.h"
#include "rconsole_database/keyed_attributes.h"

// Changes every object of class T that the request's (required) condition
// selects among those the session may read, in batches of "bulk" objects
// loaded at a time, all in one transaction: a command that fails anywhere
// leaves every object as it was. Each object's own commit or delete checks
// the session's write right. "count" in the reply: the objects changed.
//
// The objects are chosen by their OIDs before the first is changed, so a
// change that makes an object match (or no longer match) the condition
// neither repeats nor skips one.
template <class T>
class CCmdChangePersistent : public CCmdSQLOperation {
public:
    using CCmdSQLOperation::CCmdSQLOperation;

protected:
    virtual void _change(T& object) = 0;

    CTextCommand _run() override
    {
        const std::string condition = _getWhere(true);
        _endOpenTransaction();
        CPrstTransaction transaction(_context());
        _prepare();
        const std::vector<int64_t> oids = _matchingOids(condition);
        const size_t bulk = static_cast<size_t>(_args().bulk());
        for (size_t batch = 0; batch < oids.size(); batch += bulk) {
            const size_t end = std::min(oids.size(), batch + bulk);
            for (size_t from = batch; from < end; from += oidsPerSelect) {
                CDBValues values;
                const std::string in = _oidList(oids, from, std::min(oidsPerSelect, end - from), values);
                for (auto& object :
                     T::select(_context(), "SELECT T.* FROM " + T::spec().table() + " T WHERE " + in, values))
                    _change(*object);
            }
        }
        transaction.commit();
        CTextCommand reply(CTextCommand::ack);
        reply.set_uint64("count", oids.size());
        return reply;
    }

    // Checks made once the transaction is open, before any object changes.
    virtual void _prepare() {}
};

// Sets every selected object of class T from the request's attributes.
template <class T>
class CCmdUpdatePersistent : public CCmdChangePersistent<T> {
public:
    CCmdUpdatePersistent(CPrstContext& context, const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                         const osk::CStringMap& request, const CCmdSQLOperation::result_t& result)
        : CCmdChangePersistent<T>("update-persistent", T::spec(), context, token, timeOut, request, result)
    {
    }

protected:
    void _prepare() override
    {
        this->_checkAttributes(knownAttributes(*T::createTransient(this->_context())), CKeyedAttributes<T>::name);
    }
    void _change(T& object) override
    {
        object.attributes(this->_args().attributes());
        object.commit();
    }
};

// Deletes every selected object of class T with its links.
template <class T>
class CCmdDeletePersistent : public CCmdChangePersistent<T> {
public:
    CCmdDeletePersistent(CPrstContext& context, const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                         const osk::CStringMap& request, const CCmdSQLOperation::result_t& result)
        : CCmdChangePersistent<T>("delete-persistent", T::spec(), context, token, timeOut, request, result)
    {
    }

protected:
    void _change(T& object) override { object.deletePersistent(); }
};
