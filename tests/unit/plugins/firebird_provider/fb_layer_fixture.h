#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fb_test_database.h"
#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb/db_table_interface.h"
#include "support/temp_dir.h"
#include "unit/extended/test_controller.h"

namespace fbtest {

// The columns of the table HOSTS the layer tests use.
inline CDBTypeStringMap hostColumns()
{
    CDBTypeStringMap columns;
    columns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    columns.setType("HITS", CDBFieldType::DB_TYPE_LONG);
    columns.setType("RATIO", CDBFieldType::DB_TYPE_DOUBLE);
    return columns;
}

// A fresh embedded database "layer" opened through the object database
// layer, with a session on it; the layer's log entries are kept by the test
// controller.
class FbLayerTest : public ::testing::Test {
protected:
    FbLayerTest()
    {
        lockDirectory();
        _plugin.registerFactories(_facade);
        _controller = std::make_unique<CDBController>(
            "layer", 1, _facade, CDBConstants::firebirdImplementation,
            [this](uint32_t severity, const osk::CMessage& message) { _log.syslog(severity, message, 0); });
        osk::CStringMap config;
        config.set_string("system.db.path", _dir.path());
        config.set_string("system.db.name", "layer");
        _controller->dbInit(config);
        _session = std::make_unique<CDBBaseSession>(config, *_controller);
    }

    CDBBaseSession& session() { return *_session; }
    CDBController& controller() { return *_controller; }
    CDBAbstractFactoryFacade& facade() { return _facade; }
    const zelvo_test::CTestController& log() const { return _log; }
    // The database file, for a connection of a test's own.
    std::string databaseFile() const { return _dir / "layer.fdb"; }

    // The table name with columns, created and committed.
    CDBAccessorI& createdTable(const std::string& name, const CDBTypeStringMap& columns = fbtest::hostColumns())
    {
        CDBAccessorI& accessor = controller().registerTable(name, columns);
        auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        CDBTableInterface(accessor).createTable(*transaction);
        transaction->commit();
        return accessor;
    }

    // The number of rows of table, counted in a transaction of its own.
    int64_t rowCount(const std::string& table)
    {
        auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        auto rows = transaction->select("SELECT COUNT(*) FROM " + table);
        EXPECT_TRUE(rows->fetch());
        return rows->asInt64(rows->firstColumn());
    }

private:
    test_support::TempDir _dir;
    zelvo_test::CTestController _log;
    fbprov::CFirebirdProviderPlugin _plugin;
    CDBAbstractFactoryFacade _facade;
    std::unique_ptr<CDBController> _controller;
    std::unique_ptr<CDBBaseSession> _session;
};

} // namespace fbtest
