#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "extended/config_names.h"
#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb/db_statement_file_reader.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_transaction.h"
#include "support/temp_dir.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"
#include "unit/security/expect_failure.h"

namespace prsttest {

// One embedded database per test program, built from the shipped schema,
// initial data and statement file (building it takes seconds). Tests keep
// apart by the names they give their objects.
class PrstDatabase {
public:
    static PrstDatabase& instance()
    {
        static PrstDatabase database;
        return database;
    }

    CDBBaseSession& session() { return *_session; }
    const CDBStatementFileReader& statements() const { return _statements; }

private:
    PrstDatabase()
    {
        fbtest::lockDirectory();
        _plugin.registerFactories(_facade);
        _controller = std::make_unique<CDBController>("objects", 1, _facade, CDBConstants::firebirdImplementation);
        osk::CStringMap config;
        config.set_string("system.db.path", _dir.path());
        config.set_string("system.db.name", "objects");
        config.set_string(osk::CConfigNames::dbVersionsPath(), std::string(ZELVO_DB_DIR) + "/db_versions");
        _controller->dbInit(config);
        _controller->dbPrepareSchema(config);
        _session = std::make_unique<CDBBaseSession>(config, *_controller);
        _statements.read(ZELVO_DB_DIR, "statements.spec");
    }

    test_support::TempDir _dir;
    fbprov::CFirebirdProviderPlugin _plugin;
    CDBAbstractFactoryFacade _facade;
    std::unique_ptr<CDBController> _controller;
    std::unique_ptr<CDBBaseSession> _session;
    CDBStatementFileReader _statements;
};

// A test with a context of the administrators' domain on the shared
// database, and helpers to run work in transactions of its own.
class PrstDatabaseTest : public ::testing::Test {
protected:
    PrstDatabaseTest() : admin(db().session(), db().statements(), CPrstContext::administratorToken()) {}

    static PrstDatabase& db() { return PrstDatabase::instance(); }

    // A context acting for token.
    std::unique_ptr<CPrstContext> contextFor(const osk::CUserAccessToken& token)
    {
        return std::make_unique<CPrstContext>(db().session(), db().statements(), token);
    }

    // Runs work in a transaction of context that is committed when work returns.
    template <class Work>
    void committed(CPrstContext& context, Work work)
    {
        CPrstTransaction transaction(context);
        work();
        transaction.commit();
    }

    // The single integer a query returns, read in a transaction of its own.
    int64_t scalar(const std::string& sql, const CDBValues& values = CDBValues())
    {
        auto transaction = db().session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        int64_t value = -1;
        {
            auto rows = transaction->select(sql, values);
            EXPECT_TRUE(rows->fetch()) << sql;
            value = rows->asInt64(rows->firstColumn());
        }
        transaction->commit();
        return value;
    }

    // The OID of the domain of a name, made with type when there is none.
    int64_t domain(const std::string& name, osk::CDomainID::domain_type type = osk::CDomainID::device)
    {
        int64_t oid = -1;
        committed(admin, [&] {
            auto existing = CPrstDomain::findByName(admin, name);
            if (!existing) {
                existing = CPrstDomain::createTransient(admin);
                existing->name(name);
                existing->type(type);
                existing->commit();
            }
            oid = existing->oid();
        });
        return oid;
    }
    // A new object of class Object set from text and committed by context;
    // its OID.
    template <class Object>
    int64_t insertText(CPrstContext& context, const std::string& text)
    {
        int64_t oid = -1;
        committed(context, [&] {
            auto object = Object::createTransient(context);
            object->string(text);
            object->commit();
            oid = object->oid();
        });
        return oid;
    }
    // The object of oid set from text and committed by context.
    template <class Object>
    void updateText(CPrstContext& context, int64_t oid, const std::string& text)
    {
        committed(context, [&] {
            auto object = Object::load(context, oid);
            object->string(text);
            object->commit();
        });
    }
    // The text form of the object of oid, loaded by the administrator.
    template <class Object>
    std::string loadedText(int64_t oid)
    {
        CPrstTransaction transaction(admin);
        return Object::load(admin, oid)->string();
    }
    // The what and why of the exception work throws, as "what / why".
    template <class Work>
    static std::string failure(Work work)
    {
        try {
            work();
        } catch (const osk::CException& e) {
            return e.whatMsg().formatted() + " / " + e.whyMsg().formatted();
        }
        return "no failure";
    }

    // The attributes of a text form, and one of them.
    static osk::CStringMap fields(const std::string& text)
    {
        osk::CStringMap map;
        map.set(text);
        return map;
    }
    static std::string field(const std::string& text, const std::string& key) { return fields(text).get_string(key); }
    // A text form without the time of the last change, which every commit
    // sets anew.
    static std::string withoutModTime(const std::string& text)
    {
        osk::CStringMap map = fields(text);
        map.erase("mod_time");
        return map.string();
    }

    CPrstContext admin;
};

} // namespace prsttest
