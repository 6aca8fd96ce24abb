#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <tuple>
#include <utility>

#include "oodb/db_base_session.h"
#include "standard/expiring_cache.h"
#include "tftp/tftp_interfaces/i_tftp_provisioner.h"

class CDBStatementFileReader;

// The provisioner of request expressions over the key/value table of the
// service's database (osk_keyvalues: class, subclass, key, value, enabled).
//
// It lives here, beside the database, and not in the engine's folder: the
// engine may not see the database layer, so it knows the provisioner only
// through its interface, which the database hands to the TFTP controller as
// it opens (CITFTPController::provisioner) and withdraws before it closes.
//
//   $DB.KEYVALUE(class, subclass, key)
//       the value of the enabled record, a string; unknown when there is
//       none (a disabled record counts as none).
//   $DB.KEYVALUE.EXISTS(class, subclass, key, enabled)
//       true when a record exists whose enabled flag is the boolean word
//       enabled ("true", "false", "yes", "no", "1", "0", ...).
//   $DB.KEYVALUE.MANAGED_RANGE(class, subclass, key, value, default)
//       the enabled record's value is a managed range (CTFTPManagedRange):
//       true when value lies in it; without an enabled record the boolean
//       word default.
//
// Every value travels as a parameter of the statement file's named
// statements keyvalue.class_subclass_key_enabled, so a text such as
// "1; DROP TABLE osk_keyvalues" is only ever compared. Each lookup runs in a
// read-only read-committed transaction of its own, started and ended within
// the call, so no transaction outlives a request; the statements are
// prepared by the provider within that transaction. Lookups run on the
// thread that evaluates (the engine's) and are not meant for two threads at
// once.
//
// Answers are kept for a while (osk::CExpiringCache, lifetime and capacity
// as configured): a record found and a record missing alike, by class,
// subclass, key and enabled flag, so the three functions share them. A
// change in the table therefore reaches requests at the latest after the
// lifetime; a failed lookup is not kept.
class CTFTPKeyValueProvisioner : public CITFTPProvisioner {
public:
    // Throws osk::CException when statements lacks the named statement.
    // Its transactions start on connection, a connection to database of
    // its own. database, connection and statements must outlive the provisioner.
    CTFTPKeyValueProvisioner(const osk::CStringMap& config, CDBController& database, CDBDatabaseProxyI& connection,
                             const CDBStatementFileReader& statements, std::chrono::microseconds cacheTime,
                             size_t cacheEntries);

    std::string name() const override { return "database key/value table"; }

    void keyValue(const std::string& kclass, const std::string& subclass, const std::string& key,
                  osk::CMultiVariant& results) override;
    void keyValueExists(const std::string& kclass, const std::string& subclass, const std::string& key,
                        const std::string& enabled, osk::CMultiVariant& results) override;
    void keyValueManagedRange(const std::string& kclass, const std::string& subclass, const std::string& key,
                              const std::string& value, const std::string& fallback,
                              osk::CMultiVariant& results) override;

    // The name of the statement the lookups use.
    static constexpr const char* statementName = "keyvalue.class_subclass_key_enabled";

    // Forgets every kept answer.
    void forget() { _cache.clear(); }
    size_t kept() const { return _cache.size(); }

private:
    // The value of the record with this enabled flag; false when there is
    // none. function names the expression function in error messages.
    bool _lookup(const char* function, const std::string& kclass, const std::string& subclass,
                 const std::string& key, bool enabled, std::string& value);
    // The same from the database, past the cache.
    bool _read(const char* function, const std::string& kclass, const std::string& subclass,
               const std::string& key, bool enabled, std::string& value);

    // Class, subclass, key, enabled.
    using lookup_t = std::tuple<std::string, std::string, std::string, bool>;
    // Found, value.
    using answer_t = std::pair<bool, std::string>;

    CDBBaseSession _session;
    std::string _sql;
    osk::CExpiringCache<lookup_t, answer_t> _cache;
};
