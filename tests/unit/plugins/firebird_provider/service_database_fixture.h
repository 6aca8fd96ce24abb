#pragma once

#include <gtest/gtest.h>

#include <string>

#include "extended/config.h"
#include "fb_test_database.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "support/temp_dir.h"
#include "tftp/tftp_database/tftp_database.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

// The service's database as the daemon opens it: the provider plug-in
// loaded, the shipped schema and statement file, an embedded database in a
// temporary directory. Derived fixtures may add keys to config in their
// constructor, before the database opens.
class ServiceDatabaseTest : public ::testing::Test {
protected:
    ServiceDatabaseTest()
    {
        config.set_string("system.db.name", "service");
        config.set_string("system.db.path", dir.path());
        config.set_string("system.db.versions_path", dbDir() + "/db_versions");
        config.set_string("system.db.statements.file", dbDir() + "/statements.spec");
        config.set_string("system.db.table_groups.file", dbDir() + "/table_groups.spec");
    }
    void SetUp() override
    {
        fbtest::lockDirectory();
        osk::CConfigPtr hostConfig(new osk::CConfig("", "", ""));
        hostConfig->set_string("system.plugins", "zelvo_firebird_provider");
        host.config(hostConfig);
        host.libDir(host_test::buildDir());
        host.loadPlugins(hostConfig);
        database.open(config, host, [](uint32_t, const osk::CMessage&) {});
        ASSERT_NE(nullptr, database.provisioner());
    }
    void TearDown() override
    {
        database.close();
        host.unloadPlugins();
    }

    static std::string dbDir() { return ZELVO_DB_DIR; }

    // One statement in a read-write transaction of its own.
    void execute(const std::string& sql, const CDBValues& values = CDBValues())
    {
        CDBBaseSession session(config, database.database());
        auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        transaction->execute(sql, values);
        transaction->commit();
    }

    test_support::TempDir dir;
    osk::CStringMap config;
    zelvo_test::CTestController host;
    CTFTPDatabase database;
};
