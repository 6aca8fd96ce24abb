#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "oodb/db_database_proxy_i.h"
#include "oodb/db_statement_file_reader.h"
#include "oodb/db_table_group_file_reader.h"
#include "standard/string_map.h"
#include "tftp/tftp_interfaces/i_tftp_service_part.h"

class CDBAbstractFactoryFacade;
class CDBController;
class CITFTPProvisioner;
class CITFTPStoredPolicies;
class CTFTPKeyValueProvisioner;
class CTFTPStoredPolicies;

namespace osk {
class CMasterController;
class CMessage;
}

// The service's database. The daemon creates one in its run() and adds it
// to the TFTP controller as a service part: the controller opens it once
// the plug-ins are loaded and closes it after they have stopped and before
// their libraries go, because the factory and the connection it owns come
// from the database provider plug-in. Later work reaches it through the
// daemon that owns it.
//
// Opening does nothing when the configuration names no database
// (system.db.name). Otherwise it registers the loaded provider plug-ins,
// reads the statement and table-group files (and the user query files when
// configured), and opens the database through the provider at the schema
// version the product requires: a missing database is created with its
// schema and initial data, an older one upgraded. Every failure stops the
// start with one message that names the database and what to do.
//
// Once open, the database answers the key/value functions of request
// expressions and the stored policies of device accounts: open(controller)
// hands its provisioner and its policy reader to the controller and close()
// takes them back before the connection goes. Both keep their answers for
// system.db.cache.time, at most system.db.cache.entries of each.
class CTFTPDatabase : public CITFTPServicePart {
public:
    // The schema version this program is built for (the scripts of
    // db/db_versions/1 up to it); system.db.schema.version overrides it.
    static constexpr uint32_t applicationSchemaVersion = 3;

    CTFTPDatabase();
    ~CTFTPDatabase() override;
    CTFTPDatabase(const CTFTPDatabase&) = delete;
    CTFTPDatabase& operator=(const CTFTPDatabase&) = delete;

    std::string partName() const override { return "database"; }
    void open(CITFTPController& controller) override;
    void close() noexcept override;
    // Opens with a configuration of its own; log receives the messages
    // (open(controller) passes the controller's configuration and log).
    using log_t = std::function<void(uint32_t severity, const osk::CMessage& message)>;
    void open(const osk::CStringMap& config, const osk::CMasterController& plugins, const log_t& log);

    bool isOpen() const { return _database != nullptr; }
    // The open database; throws "The service's database is not open." when
    // it is not.
    CDBController& database() const;
    // The schema version of the open database.
    uint32_t schemaVersion() const { return _schemaVersion; }
    // The key/value provisioner over the open database; null when closed.
    CITFTPProvisioner* provisioner() const;
    // The stored policies over the open database; null when closed.
    CITFTPStoredPolicies* storedPolicies() const;
    // The connection the provisioner and the stored policies look up on,
    // which no other work shares; throws when the database is not open.
    CDBDatabaseProxyI& requestConnection() const;
    const CDBStatementFileReader& statements() const { return _statements; }
    const CDBTableGroupFileReader& tableGroups() const { return _tableGroups; }
    const CDBStatementFileReader& userQueries() const { return _userQueries; }
    const CDBTableGroupFileReader& userQueryGroups() const { return _userQueryGroups; }

private:
    void _readStatementFiles(const osk::CStringMap& config);

    std::unique_ptr<CDBAbstractFactoryFacade> _facade;
    std::unique_ptr<CDBController> _database;
    // The engine's lookups for requests wait for nothing else: a console's
    // select on the controller's connection would hold them, since the calls
    // on one connection run one at a time.
    std::unique_ptr<CDBDatabaseProxyI> _requests;
    std::unique_ptr<CTFTPKeyValueProvisioner> _provisioner;
    std::unique_ptr<CTFTPStoredPolicies> _storedPolicies;
    // The controller that holds the provisioner and the policy reader, told
    // when they go.
    CITFTPController* _controller = nullptr;
    uint32_t _schemaVersion = 0;
    CDBStatementFileReader _statements;
    CDBTableGroupFileReader _tableGroups;
    CDBStatementFileReader _userQueries;
    CDBTableGroupFileReader _userQueryGroups;
};
