#include "tftp/tftp_database/tftp_database.h"

#include <chrono>

#include "extended/config.h"
#include "extended/config_names.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_controller.h"
#include "oodb/db_database_proxy_i.h"
#include "oodb/db_schema_version.h"
#include "tftp/tftp_database/tftp_key_value_provisioner.h"
#include "tftp/tftp_database/tftp_stored_policies.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace {

const char* const kModule = "tftp_database";
const char* const kCannotOpen = "Cannot open the service's database '%1'.";
const char* const kNoProvider =
    "No database provider plug-in is loaded; add one (zelvo_firebird_provider) to system.plugins.";
const char* const kSeveralProviders = "Several database providers are loaded (%1); load only one.";
const char* const kFileMissing = "The key %1 is not set; point it to the file shipped in db/ (%2).";
const char* const kCannotRead = "Cannot read the file '%1' named by %2.";
const char* const kUnknownGroup = "Statement '%1' of '%2' names the table group '%3', which '%4' does not define.";
const char* const kNotOpen = "The service's database is not open.";
const char* const kOpened = "Opened the database '%1' (%2) at schema version %3.";

// The database's name and host, for messages before the provider has said
// where the database is.
std::string describe(const osk::CStringMap& config)
{
    const std::string name = config.get_string(osk::CConfigNames::dbName(), "");
    const std::string host = config.get_string(osk::CConfigNames::dbHostname(), "");
    return host.empty() ? name : host + ":" + name;
}

osk::CException cannotOpen(const std::string& database, const osk::CMessage& why)
{
    return OSK_EXCEPTION(osk::CMessage(kCannotOpen, kModule).pushs(database), why, "CTFTPDatabase::open", kModule);
}

osk::CException cannotOpen(const osk::CStringMap& config, const osk::CMessage& why)
{
    return cannotOpen(describe(config), why);
}

// The result of step; an exception of another part (the provider, a file
// reader) becomes the one start error, naming the database, with the
// part's message as the cause.
template <typename Step>
auto guarded(const std::string& database, Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const osk::CException& e) {
        throw cannotOpen(database, osk::CMessage(e.printableError()));
    }
}

template <typename Step>
auto guarded(const osk::CStringMap& config, Step step) -> decltype(step())
{
    return guarded(describe(config), step);
}

} // namespace

CTFTPDatabase::CTFTPDatabase() = default;

CTFTPDatabase::~CTFTPDatabase()
{
    close();
}

void CTFTPDatabase::open(CITFTPController& controller)
{
    osk::CStringMap config;
    {
        const osk::CConfigPtr shared = controller.config();
        osk::CConfigGuard guard(shared);
        config = *shared;
    }
    open(config, controller,
         [&controller](uint32_t severity, const osk::CMessage& message) { controller.syslog(severity, message); });
    if (!_provisioner) return;
    controller.provisioner(_provisioner.get());
    controller.storedPolicies(_storedPolicies.get());
    _controller = &controller;
}

void CTFTPDatabase::open(const osk::CStringMap& config, const osk::CMasterController& plugins, const log_t& log)
{
    close();
    if (!config.hasValue(osk::CConfigNames::dbName())) return;
    try {
        const uint32_t required = guarded(config, [&] {
            return CDBSchemaVersion::required(config, applicationSchemaVersion, [&log](const osk::CMessage& warning) {
                log(osk::CException::warning, warning);
            });
        });
        _readStatementFiles(config);

        auto facade = std::make_unique<CDBAbstractFactoryFacade>();
        guarded(config, [&] { return facade->registerLoadedProviders(plugins); });
        const std::vector<std::string> implementations = facade->implementations();
        if (implementations.empty()) throw cannotOpen(config, osk::CMessage(kNoProvider, kModule));
        if (implementations.size() > 1) {
            std::string names;
            for (const std::string& name : implementations) names += (names.empty() ? "" : ", ") + name;
            throw cannotOpen(config, osk::CMessage(kSeveralProviders, kModule).pushs(names));
        }
        auto database = std::make_unique<CDBController>(config.get_string(osk::CConfigNames::dbName()), required,
                                                        *facade, implementations.front(), log);
        guarded(config, [&] { database->dbInit(config); });
        _schemaVersion = guarded(database->proxy().location(), [&] { return database->dbPrepareSchema(config); });
        const std::string host = config.get_string(osk::CConfigNames::dbHostname(), "");
        log(osk::CException::info, osk::CMessage(kOpened, kModule)
                                       .pushs(database->proxy().location())
                                       .pushs(host.empty() ? "embedded engine" : "database server " + host)
                                       .push(_schemaVersion));
        const osk::CConfigValues values(config, osk::CConfigNames::framework());
        const std::chrono::microseconds cacheTime(values.usec(osk::CConfigNames::dbCacheTime()));
        const size_t cacheEntries = values.ulong(osk::CConfigNames::dbCacheEntries());
        auto requests = guarded(config, [&] { return database->openConnection(config); });
        _provisioner = std::make_unique<CTFTPKeyValueProvisioner>(config, *database, *requests, _statements,
                                                                  cacheTime, cacheEntries);
        _storedPolicies = std::make_unique<CTFTPStoredPolicies>(config, *database, *requests, _statements, cacheTime,
                                                                cacheEntries);
        _requests = std::move(requests);
        _facade = std::move(facade);
        _database = std::move(database);
    } catch (...) {
        close();
        throw;
    }
}

void CTFTPDatabase::_readStatementFiles(const osk::CStringMap& config)
{
    struct Shipped {
        std::string key;
        const char* shippedName;
        bool required;
    };
    const auto path = [&config](const Shipped& file) -> std::string {
        const std::string value = config.get_string(file.key, "");
        if (value.empty() && file.required)
            throw cannotOpen(config, osk::CMessage(kFileMissing, kModule).pushs(file.key).pushs(file.shippedName));
        return value;
    };
    const auto readGroups = [&config](CDBTableGroupFileReader& reader, const std::string& file,
                                      const std::string& key) {
        if (!reader.read("", file))
            throw cannotOpen(config, osk::CMessage(kCannotRead, kModule).pushs(file).pushs(key));
    };
    // Every group a statement names must be defined.
    const auto checkGroups = [&config](const CDBStatementFileReader& statements, const std::string& statementFile,
                                       const CDBTableGroupFileReader& groups, const std::string& groupFile) {
        for (const auto& [name, statement] : statements.statements())
            if (!groups.exists(statement.group))
                throw cannotOpen(config, osk::CMessage(kUnknownGroup, kModule)
                                             .pushs(name)
                                             .pushs(statementFile)
                                             .pushs(statement.group)
                                             .pushs(groupFile));
    };

    const Shipped statements{osk::CConfigNames::dbStatementsFile(), "statements.spec", true};
    const Shipped groups{osk::CConfigNames::dbTableGroupsFile(), "table_groups.spec", true};
    const Shipped queries{osk::CConfigNames::dbUserSqlQueriesFile(), "user_sql_queries.spec", false};
    const Shipped queryGroups{osk::CConfigNames::dbUserSqlQueryGroupsFile(), "user_sql_query_groups.spec", false};

    const std::string statementFile = path(statements);
    const std::string groupFile = path(groups);
    guarded(config, [&] { _statements.read("", statementFile); });
    readGroups(_tableGroups, groupFile, groups.key);
    checkGroups(_statements, statementFile, _tableGroups, groupFile);

    const std::string queryFile = path(queries);
    const std::string queryGroupFile = path(queryGroups);
    if (!queryFile.empty()) guarded(config, [&] { _userQueries.read("", queryFile); });
    if (!queryGroupFile.empty()) readGroups(_userQueryGroups, queryGroupFile, queryGroups.key);
    if (!queryFile.empty() && !queryGroupFile.empty())
        checkGroups(_userQueries, queryFile, _userQueryGroups, queryGroupFile);
}

void CTFTPDatabase::close() noexcept
{
    // No expression may reach the provisioner once its connection is gone.
    if (_controller) {
        _controller->provisioner(nullptr);
        _controller->storedPolicies(nullptr);
    }
    _controller = nullptr;
    _provisioner.reset();
    _storedPolicies.reset();
    _requests.reset();
    // The connection and its accessors go before the factories that made
    // them; both before the provider's library is unloaded.
    _database.reset();
    _facade.reset();
    _schemaVersion = 0;
}

CITFTPProvisioner* CTFTPDatabase::provisioner() const { return _provisioner.get(); }

CITFTPStoredPolicies* CTFTPDatabase::storedPolicies() const { return _storedPolicies.get(); }

CDBController& CTFTPDatabase::database() const
{
    if (!_database)
        throw OSK_EXCEPTION(osk::CMessage(kNotOpen, kModule), osk::CMessage(), "CTFTPDatabase::database", kModule);
    return *_database;
}

CDBDatabaseProxyI& CTFTPDatabase::requestConnection() const
{
    if (!_requests)
        throw OSK_EXCEPTION(osk::CMessage(kNotOpen, kModule), osk::CMessage(), "CTFTPDatabase::requestConnection",
                            kModule);
    return *_requests;
}
