#include "tftp/tftp_database/tftp_key_value_provisioner.h"

#include "extended/exception.h"
#include "oodb/db_statement_file_reader.h"
#include "standard/multi_variant.h"
#include "standard/string_util.h"
#include "tftp/tftp_database/tftp_managed_range.h"

namespace {
const char* const kModule = "tftp_database";
// The function failures read as the evaluator's own, under its module.
const char* const kFunctionModule = "tftp_base";

const char* const kCannotExecute = "Cannot execute function $%1().";
// The managed-range function reports under its short name.
const char* const kManagedRange = "DB.MANAGED_RANGE";
const char* const kKeyValue = "DB.KEYVALUE";
const char* const kExists = "DB.KEYVALUE.EXISTS";
const char* const kNotBoolean = "'%1' is not a boolean (true or false).";
const char* const kNoStatement = "The key/value lookups need the statement '%1' in the statement file.";

osk::CException failure(const char* function, const osk::CMessage& why, const char* context)
{
    return OSK_EXCEPTION(osk::CMessage(kCannotExecute, kFunctionModule).pushs(function), why, context,
                         kFunctionModule);
}

bool boolean(const char* function, const std::string& text, const char* context)
{
    bool value = false;
    if (!osk::CStringUtil::toBoolean(text, value))
        throw failure(function, osk::CMessage(kNotBoolean, kModule).pushs(text), context);
    return value;
}

const std::string& statement(const CDBStatementFileReader& statements)
{
    if (!statements.exists(CTFTPKeyValueProvisioner::statementName))
        throw OSK_EXCEPTION(osk::CMessage(kNoStatement, kModule).pushs(CTFTPKeyValueProvisioner::statementName),
                            osk::CMessage(), "CTFTPKeyValueProvisioner::CTFTPKeyValueProvisioner", kModule);
    return statements.find(CTFTPKeyValueProvisioner::statementName).statement;
}
} // namespace

CTFTPKeyValueProvisioner::CTFTPKeyValueProvisioner(const osk::CStringMap& config, CDBController& database,
                                                   CDBDatabaseProxyI& connection,
                                                   const CDBStatementFileReader& statements,
                                                   std::chrono::microseconds cacheTime, size_t cacheEntries)
    : _session(config, database, connection), _sql(statement(statements)), _cache(cacheTime, cacheEntries)
{
}

bool CTFTPKeyValueProvisioner::_lookup(const char* function, const std::string& kclass,
                                       const std::string& subclass, const std::string& key, bool enabled,
                                       std::string& value)
{
    const lookup_t lookup(kclass, subclass, key, enabled);
    answer_t answer;
    if (!_cache.find(lookup, answer)) {
        answer.first = _read(function, kclass, subclass, key, enabled, answer.second);
        _cache.store(lookup, answer);
    }
    value = answer.second;
    return answer.first;
}

bool CTFTPKeyValueProvisioner::_read(const char* function, const std::string& kclass, const std::string& subclass,
                                     const std::string& key, bool enabled, std::string& value)
{
    try {
        auto transaction = _session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        bool found = false;
        {
            auto rows = transaction->select(_sql, {kclass, subclass, key, std::string(enabled ? "TRUE" : "FALSE")});
            found = rows->fetch();
            if (found) value = rows->asString("KVALUE");
        }
        transaction->commit();
        return found;
    } catch (const osk::CException& e) {
        throw failure(function, osk::CMessage(e.printableError()), "CTFTPKeyValueProvisioner::_read");
    }
}

void CTFTPKeyValueProvisioner::keyValue(const std::string& kclass, const std::string& subclass,
                                        const std::string& key, osk::CMultiVariant& results)
{
    std::string value;
    if (_lookup(kKeyValue, kclass, subclass, key, true, value))
        results.push(osk::CVariant(value));
    else
        results.push(osk::CVariant());
}

void CTFTPKeyValueProvisioner::keyValueExists(const std::string& kclass, const std::string& subclass,
                                              const std::string& key, const std::string& enabled,
                                              osk::CMultiVariant& results)
{
    const bool wanted = boolean(kExists, enabled, "CTFTPKeyValueProvisioner::keyValueExists");
    std::string ignored;
    results.push(osk::CVariant(_lookup(kExists, kclass, subclass, key, wanted, ignored)));
}

void CTFTPKeyValueProvisioner::keyValueManagedRange(const std::string& kclass, const std::string& subclass,
                                                    const std::string& key, const std::string& value,
                                                    const std::string& fallback, osk::CMultiVariant& results)
{
    const char* const context = "CTFTPKeyValueProvisioner::keyValueManagedRange";
    const bool otherwise = boolean(kManagedRange, fallback, context);
    std::string range;
    if (!_lookup(kManagedRange, kclass, subclass, key, true, range)) {
        results.push(osk::CVariant(otherwise));
        return;
    }
    try {
        results.push(osk::CVariant(CTFTPManagedRange(range).contains(value)));
    } catch (const osk::CException& e) {
        throw failure(kManagedRange, osk::CMessage(e.printableError()), context);
    }
}
