// The Firebird provider as the daemon meets it: the shared library is loaded
// by the plug-in host, and the object database layer finds it by its
// interface and lets it register its factory.
#include <gtest/gtest.h>

#include <string>

#include "extended/config.h"
#include "fb_test_database.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "oodb/db_provider.h"
#include "oodb/db_table_interface.h"
#include "support/temp_dir.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

namespace {

TEST(FbDBProviderLoadTest, LoadedPluginRegistersAWorkingFactory)
{
    fbtest::lockDirectory();
    zelvo_test::CTestController host;
    osk::CConfigPtr config(new osk::CConfig("", "", ""));
    config->set_string("system.plugins", "zelvo_firebird_provider");
    host.config(config);
    host.libDir(host_test::buildDir());
    host.loadPlugins(config);
    ASSERT_EQ(host.findPluginTypes(CDBProvider::interfaceName()).size(), 1u);

    CDBAbstractFactoryFacade facade;
    EXPECT_FALSE(facade.registered("Firebird_DB"));
    EXPECT_EQ(facade.registerLoadedProviders(host), 1u);
    ASSERT_TRUE(facade.registered("Firebird_DB"));

    {
        test_support::TempDir dir;
        CDBController database("loaded", 1, facade, "Firebird_DB");
        osk::CStringMap settings;
        settings.set_string("system.db.path", dir.path());
        settings.set_string("system.db.name", "loaded");
        database.dbInit(settings);
        CDBBaseSession session(settings, database);
        CDBTypeStringMap columns;
        columns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
        CDBTableInterface table = session.table("LOADED", columns);
        auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        table.createTable(*transaction);
        transaction->commit();
        transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        const int64_t key = table.insert(*transaction, {{"NAME", std::string("from the plug-in")}});
        auto rows = table.select(*transaction, key);
        ASSERT_TRUE(rows->fetch());
        EXPECT_EQ(rows->asString("NAME"), "from the plug-in");
        rows.reset();
        transaction->commit();
    }
    // The factory's code lives in the library: it goes before the library.
    facade.unregisterAbstractFactory("Firebird_DB");
    host.unloadPlugins();
}

} // namespace
