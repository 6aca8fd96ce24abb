// One key/value lookup of the request expressions on the embedded engine:
// the provisioner over the shipped schema and statement file, each call a
// read-only transaction of its own with one bound select (nothing kept).
// Found, missing and the whole expression through the evaluator; then the
// same rule answered from the kept answers, as the daemon runs it.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb/db_statement_file_reader.h"
#include "standard/multi_variant.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_database/tftp_key_value_provisioner.h"

namespace {

constexpr int kRecords = 10000;

// The shipped schema in a directory of its own, with kRecords records of
// class "bench", subclass "map", keys "10.<i>" and every tenth disabled.
class CKeyValueBenchDatabase {
public:
    static CKeyValueBenchDatabase& instance()
    {
        static CKeyValueBenchDatabase database;
        return database;
    }
    CTFTPKeyValueProvisioner& provisioner() { return *_provisioner; }
    CTFTPKeyValueProvisioner& keptProvisioner() { return *_kept; }

    ~CKeyValueBenchDatabase()
    {
        _provisioner.reset();
        _kept.reset();
        _controller.reset();
        std::filesystem::remove_all(_directory);
    }

private:
    CKeyValueBenchDatabase()
    {
        char pattern[] = "/tmp/zelvo-keyvalue-bench-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        _directory = pattern;
        ::setenv("FIREBIRD_LOCK", (_directory + "/lock").c_str(), 1);
        _plugin.registerFactories(_facade);
        osk::CStringMap config;
        config.set_string("system.db.path", _directory);
        config.set_string("system.db.name", "bench");
        config.set_string("system.db.versions_path", std::string(ZELVO_DB_DIR) + "/db_versions");
        _controller = std::make_unique<CDBController>("bench", 1, _facade, CDBConstants::firebirdImplementation);
        _controller->dbInit(config);
        _controller->dbPrepareSchema(config);
        _statements.read("", std::string(ZELVO_DB_DIR) + "/statements.spec");

        CDBBaseSession session(config, *_controller);
        auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        for (int64_t i = 0; i < kRecords; ++i)
            transaction->execute("INSERT INTO osk_keyvalues (PK, OID, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED) "
                                 "VALUES (?, ?, 'bench', 'map', ?, ?, ?)",
                                 {100000 + i, 100000 + i, "10." + std::to_string(i), "file-" + std::to_string(i),
                                  std::string(i % 10 == 0 ? "FALSE" : "TRUE")});
        transaction->commit();
        CDBDatabaseProxyI& connection = _controller->proxy();
        _provisioner = std::make_unique<CTFTPKeyValueProvisioner>(config, *_controller, connection, _statements,
                                                                  std::chrono::microseconds(0), 1);
        // The daemon's defaults: answers kept 5 s, at most 10000.
        _kept = std::make_unique<CTFTPKeyValueProvisioner>(config, *_controller, connection, _statements,
                                                           std::chrono::seconds(5), 10000);
    }

    std::string _directory;
    fbprov::CFirebirdProviderPlugin _plugin;
    CDBAbstractFactoryFacade _facade;
    std::unique_ptr<CDBController> _controller;
    CDBStatementFileReader _statements;
    std::unique_ptr<CTFTPKeyValueProvisioner> _provisioner;
    std::unique_ptr<CTFTPKeyValueProvisioner> _kept;
};

void BM_KeyValueFound(benchmark::State& state)
{
    CTFTPKeyValueProvisioner& provisioner = CKeyValueBenchDatabase::instance().provisioner();
    int i = 1;
    for (auto _ : state) {
        osk::CMultiVariant results;
        provisioner.keyValue("bench", "map", "10." + std::to_string(i), results);
        benchmark::DoNotOptimize(results);
        i = i % 9 + 1;  // keys 1..9: all enabled
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_KeyValueMissing(benchmark::State& state)
{
    CTFTPKeyValueProvisioner& provisioner = CKeyValueBenchDatabase::instance().provisioner();
    for (auto _ : state) {
        osk::CMultiVariant results;
        provisioner.keyValueExists("bench", "map", "no such key", "true", results);
        benchmark::DoNotOptimize(results);
    }
    state.SetItemsProcessed(state.iterations());
}

// The access rule's whole evaluation: parse once, evaluate per request.
void accessRule(benchmark::State& state, CTFTPKeyValueProvisioner& provisioner)
{
    CTFTPEval evaluator;
    evaluator.provisioner(&provisioner);
    const auto tree = evaluator.parse("$DB.KEYVALUE.EXISTS(\"bench\", \"map\", \"10.5\", true)");
    for (auto _ : state) {
        osk::CVariant result;
        evaluator.execute(result, tree);
        if (!result.boolean()) state.SkipWithError("the record was not found");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AccessRuleThroughTheEvaluator(benchmark::State& state)
{
    accessRule(state, CKeyValueBenchDatabase::instance().provisioner());
}

// The same rule answered from the kept answers (one read, then the cache).
void BM_AccessRuleKept(benchmark::State& state)
{
    accessRule(state, CKeyValueBenchDatabase::instance().keptProvisioner());
}

} // namespace

BENCHMARK(BM_KeyValueFound)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyValueMissing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AccessRuleThroughTheEvaluator)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AccessRuleKept)->Unit(benchmark::kMicrosecond);
