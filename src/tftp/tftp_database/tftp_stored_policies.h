#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "oodb/db_base_session.h"
#include "standard/expiring_cache.h"
#include "tftp/tftp_interfaces/i_tftp_stored_policies.h"

class CDBStatementFileReader;

// The stored policies of device accounts, read from the service's database
// for the request expressions ($PROV.POLICY()).
//
// The account name leads to the device accounts of that name
// (osk_accounts.NAME). Only an enabled one counts; through its access
// controls (osk_access_control) it is in domains, and every enabled TFTP
// policy (tftp_policy) that is a member of one of those domains (its
// secured-object record, the memberships record and its links to the
// osk_domain_id rows) takes part, merged as CTFTPAccountPolicies says. The
// domain of an access control is the osk_domains row whose OID is the
// control's DOMAIN_ID (a domain's OID is its domain id).
//
// Both reads are named statements of the statement file, the account name a
// bound parameter, within one read-only transaction per look-up. Answers
// are kept for a while (osk::CExpiringCache: lifetime and capacity as
// configured), so a change in the database reaches requests at the latest
// after the lifetime; a failed read is not kept. Look-ups run on the thread
// that evaluates (the engine's).
class CTFTPStoredPolicies : public CITFTPStoredPolicies {
public:
    // Throws osk::CException when statements lacks a named statement.
    // Its transactions start on connection, a connection to database of
    // its own. database, connection and statements must outlive the reader.
    CTFTPStoredPolicies(const osk::CStringMap& config, CDBController& database, CDBDatabaseProxyI& connection,
                        const CDBStatementFileReader& statements, std::chrono::microseconds cacheTime,
                        size_t cacheEntries);

    policies_ptr policiesOf(const std::string& account) override;

    // Forgets every kept answer.
    void forget() { _cache.clear(); }
    size_t kept() const { return _cache.size(); }

    // The names of the statements it uses.
    static constexpr const char* accountStatement = "stored_policy.account";
    static constexpr const char* policiesStatement = "stored_policy.account_policies";

private:
    policies_ptr _read(const std::string& account);

    CDBBaseSession _session;
    std::string _accountSql;
    std::string _policiesSql;
    osk::CExpiringCache<std::string, policies_ptr> _cache;
};
