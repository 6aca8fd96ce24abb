#include "oodb/db_base_session.h"

#include <utility>

#include "oodb/db_controller.h"

CDBBaseSession::CDBBaseSession(osk::CStringMap config, CDBController& controller)
    : _config(std::move(config)), _controller(controller), _prototypes(controller)
{
}

CDBBaseSession::CDBBaseSession(osk::CStringMap config, CDBController& controller, CDBDatabaseProxyI& connection)
    : _config(std::move(config)), _controller(controller), _connection(&connection), _prototypes(controller)
{
}

const std::string& CDBBaseSession::dbImplementation() const { return _controller.implementation(); }

std::unique_ptr<CDBTransaction> CDBBaseSession::beginTransaction(CDBConstants::trans_access_mode accessMode,
                                                                 int transType)
{
    return _controller.factory()->createTransaction(_connection ? *_connection : _controller.proxy(), accessMode,
                                                    CDBConstants::commitType(transType));
}

CDBTableInterface CDBBaseSession::table(const std::string& tableName, const CDBTypeStringMap& columnDefs)
{
    return CDBTableInterface(_controller.registerTable(tableName, columnDefs));
}

void CDBBaseSession::setPrototype(const std::string& name, CDBResultPrototype prototype)
{
    _prototypes.insert(name, std::move(prototype));
}

void CDBBaseSession::removePrototype(const std::string& name) { _prototypes.remove(name); }

CDBResultPrototype& CDBBaseSession::operator[](const std::string& name) { return _prototypes.prototype(name); }
