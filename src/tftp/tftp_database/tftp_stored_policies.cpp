#include "tftp/tftp_database/tftp_stored_policies.h"

#include <memory>
#include <vector>

#include "extended/exception.h"
#include "oodb/db_statement_file_reader.h"

namespace {
const char* const kModule = "tftp_database";
const char* const kNoStatement = "The stored policies need the statement '%1' in the statement file.";
const char* const kCannotRead = "Cannot read the stored policies of the account '%1'.";

const std::string& statement(const CDBStatementFileReader& statements, const char* name)
{
    if (!statements.exists(name))
        throw OSK_EXCEPTION(osk::CMessage(kNoStatement, kModule).pushs(name), osk::CMessage(),
                            "CTFTPStoredPolicies::CTFTPStoredPolicies", kModule);
    return statements.find(name).statement;
}
} // namespace

CTFTPStoredPolicies::CTFTPStoredPolicies(const osk::CStringMap& config, CDBController& database,
                                         CDBDatabaseProxyI& connection,
                                         const CDBStatementFileReader& statements,
                                         std::chrono::microseconds cacheTime, size_t cacheEntries)
    : _session(config, database, connection), _accountSql(statement(statements, accountStatement)),
      _policiesSql(statement(statements, policiesStatement)), _cache(cacheTime, cacheEntries)
{
}

CITFTPStoredPolicies::policies_ptr CTFTPStoredPolicies::policiesOf(const std::string& account)
{
    if (account.empty()) return std::make_shared<const CTFTPAccountPolicies>();
    policies_ptr found;
    if (_cache.find(account, found)) return found;
    found = _read(account);
    _cache.store(account, found);
    return found;
}

CITFTPStoredPolicies::policies_ptr CTFTPStoredPolicies::_read(const std::string& account)
{
    try {
        auto transaction = _session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        int64_t accounts = 0;
        int64_t enabled = 0;
        {
            auto rows = transaction->select(_accountSql, {account});
            if (rows->fetch()) {
                accounts = rows->asInt64("ACCOUNTS");
                enabled = rows->asInt64("ENABLED_ACCOUNTS");
            }
        }
        std::vector<CTFTPAccountPolicies::CPolicy> policies;
        if (enabled > 0) {
            auto rows = transaction->select(_policiesSql, {account});
            while (rows->fetch())
                policies.push_back({rows->asString("POLICY_NAME"), rows->asString("DOMAIN_NAME"),
                                    rows->asInt64("PRIORITY"), rows->asString("DATA")});
        }
        transaction->commit();
        if (accounts == 0) return std::make_shared<const CTFTPAccountPolicies>(account, CTFTPAccountPolicies::accountUnknown);
        if (enabled == 0)
            return std::make_shared<const CTFTPAccountPolicies>(account, CTFTPAccountPolicies::accountDisabled);
        return std::make_shared<const CTFTPAccountPolicies>(account, std::move(policies));
    } catch (const osk::CException& e) {
        throw OSK_EXCEPTION(osk::CMessage(kCannotRead, kModule).pushs(account), osk::CMessage(e.printableError()),
                            "CTFTPStoredPolicies::_read", kModule);
    }
}
