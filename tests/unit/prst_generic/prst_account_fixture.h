#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "prst_database_fixture.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_role.h"

namespace prsttest {

// Domains and roles for the tests of accounts and of the login look-up.
class PrstAccountTest : public PrstDatabaseTest {
protected:
    // The OID of a domain of a name, made when there is none.
    int64_t domain(const std::string& name, osk::CDomainID::domain_type type = osk::CDomainID::device)
    {
        int64_t oid = -1;
        committed(admin, [&] {
            auto existing = CPrstDomain::findByName(admin, name);
            if (!existing) {
                existing = CPrstDomain::createTransient(admin);
                existing->name(name);
                existing->type(type);
                existing->commit();
            }
            oid = existing->oid();
        });
        return oid;
    }
    // The OID of the role of a name, made from text (with a new domain of
    // that name) when there is none.
    int64_t role(const std::string& name, const std::string& text)
    {
        int64_t oid = -1;
        committed(admin, [&] {
            auto made = CPrstRole::findByName(admin, name);
            if (!made) {
                made = CPrstRole::createTransient(admin);
                made->string("name=" + name + "\n" + text);
                made->commit();
            }
            oid = made->oid();
        });
        return oid;
    }
    // The domain ids of the access-control rows of an access id.
    std::set<int64_t> controlDomains(const std::string& table, int64_t accessId)
    {
        std::set<int64_t> ids;
        auto transaction = db().session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        {
            auto rows = transaction->select("SELECT DOMAIN_ID FROM " + table + " WHERE ACCESS_ID = ?", {accessId});
            while (rows->fetch()) ids.insert(rows->asInt64("DOMAIN_ID"));
        }
        transaction->commit();
        return ids;
    }
    // The text of an exception's what and why, as "what / why".
    template <class Work>
    static std::string failure(Work work)
    {
        try {
            work();
        } catch (const osk::CException& e) {
            return e.whatMsg().formatted() + " / " + e.whyMsg().formatted();
        }
        return "no failure";
    }
};

} // namespace prsttest
