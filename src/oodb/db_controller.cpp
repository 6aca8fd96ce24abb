#include "oodb/db_controller.h"

#include <mutex>
#include <utility>

#include "extended/exception.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_constants.h"
#include "oodb/db_messages.h"
#include "oodb/db_primary_key_generator.h"

namespace {

// The definitions as text, for messages.
std::string describe(const CDBTypeStringMap& defs)
{
    std::string out;
    for (const std::string& column : defs.columnNames()) {
        if (!out.empty()) out += ',';
        out += column + "=" + defs.get_string(column, "");
    }
    return out;
}

} // namespace

CDBController::CDBController(std::string dbName, uint32_t reqSchemaVersion, CDBAbstractFactoryFacade& facade,
                             std::string implementation, log_t log)
    : _dbName(std::move(dbName)), _reqSchemaVersion(reqSchemaVersion), _facade(facade),
      _implementation(std::move(implementation)), _log(std::move(log))
{
}

void CDBController::syslog(uint32_t severity, const osk::CMessage& message) const
{
    if (_log) _log(severity, message);
}

// Accessors hold the provider's generators: they go before the connection.
CDBController::~CDBController()
{
    _accessors.clear();
    _proxy.reset();
}

void CDBController::dbInit(const osk::CStringMap& config)
{
    _proxy = factory()->createDatabaseProxy(config);
    _proxy->logTo([this](uint32_t severity, const osk::CMessage& message) { syslog(severity, message); });
}

uint32_t CDBController::dbPrepareSchema(const osk::CStringMap& config)
{
    return factory()->prepareSchema(proxy(), config, _reqSchemaVersion);
}

std::shared_ptr<CDBAbstractFactory> CDBController::factory() const
{
    return _facade.factory(_implementation);
}

std::unique_ptr<CDBDatabaseProxyI> CDBController::openConnection(const osk::CStringMap& config) const
{
    proxy();
    std::unique_ptr<CDBDatabaseProxyI> connection = factory()->createDatabaseProxy(config);
    connection->logTo([this](uint32_t severity, const osk::CMessage& message) { syslog(severity, message); });
    return connection;
}

CDBDatabaseProxyI& CDBController::proxy() const
{
    if (!_proxy)
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::databaseNotOpen).pushs(_dbName),
                            osk::CMessage(CDBMessages::implementationNotInitialized), "CDBController::proxy",
                            CDBMessages::moduleOodb);
    return *_proxy;
}

CDBAccessorI& CDBController::registerTable(const std::string& tableName, const CDBTypeStringMap& columnDefs)
{
    CDBTypeStringMap required = columnDefs;
    required.setType(CDBConstants::primaryKeyColumn, CDBFieldType::DB_TYPE_LONG);
    std::unique_lock<std::shared_mutex> guard(_accessorLock);
    auto found = _accessors.find(tableName);
    if (found == _accessors.end()) {
        auto accessor = std::make_unique<CDBAccessorI>(_dbName, tableName, required,
                                                       factory()->createPrimaryKeyGenerator(tableName));
        found = _accessors.emplace(tableName, std::move(accessor)).first;
    } else if (describe(found->second->columnDefs()) != describe(required)) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotRegisterThread).pushs(tableName),
                            osk::CMessage(CDBMessages::fieldsDoNotMatch)
                                .pushs(describe(required))
                                .pushs(describe(found->second->columnDefs())),
                            "CDBController::registerTable", CDBMessages::moduleOodb);
    }
    return *found->second;
}

CDBAccessorI* CDBController::accessor(const std::string& tableName) const
{
    std::shared_lock<std::shared_mutex> guard(_accessorLock);
    auto found = _accessors.find(tableName);
    return found == _accessors.end() ? nullptr : found->second.get();
}
