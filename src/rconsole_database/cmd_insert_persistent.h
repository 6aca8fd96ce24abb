#pragma once

#include "prst_generic/prst_transaction.h"
#include "rconsole_database/cmd_sql_operation.h"
#include "rconsole_database/keyed_attributes.h"
#include "rconsole_database/readable_object.h"
#include "security/domain_memberships.h"

// One new object of class T from the request's attributes (its text form),
// committed when the session may create objects of the class; "oid" in the
// reply. An object given without "domains" belongs to the domains the
// session creates objects in: the token's create domains, else all of its
// domains.
template <class T>
class CCmdInsertPersistent : public CCmdSQLOperation {
public:
    CCmdInsertPersistent(CPrstContext& context, const osk::CUserAccessToken& token, CPrstQueryTimeOut& timeOut,
                         const osk::CStringMap& request, const result_t& result)
        : CCmdSQLOperation("insert-persistent", T::spec(), context, token, timeOut, request, result)
    {
    }

protected:
    CTextCommand _run() override
    {
        _endOpenTransaction();
        CPrstTransaction transaction(_context());
        auto object = T::createTransient(_context());
        _checkAttributes(knownAttributes(*object), CKeyedAttributes<T>::name);
        if constexpr (isSecuredClass<T>)
            if (!_args().attributes().defined("domains")) object->memberships(_findCreateRights());
        object->attributes(_args().attributes());
        object->commit();
        transaction.commit();
        CTextCommand reply(CTextCommand::ack);
        reply.set_int64("oid", object->oid());
        return reply;
    }

    osk::CDomainMemberships _findCreateRights() const
    {
        osk::CDomainMemberships domains;
        if (!_token().createRights().empty()) {
            for (const osk::CDomainID& domain : _token().createRights()) domains.insertIf(domain);
        } else {
            for (const auto& entry : _token().tableRights()) domains.insertIf(entry.first);
        }
        return domains;
    }
};
