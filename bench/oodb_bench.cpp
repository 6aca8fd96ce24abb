// The object database layer against Firebird's own OO API on one embedded
// database: rows read through the key-range pager and the row pager, and
// rows inserted in transactions of 1000, each beside the same work written
// directly against <firebird/Interface.h>. Compare the items_per_second of
// each Layer/Raw pair from one run.
#include <benchmark/benchmark.h>

#include <firebird/Interface.h>
#include <ibase.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb/db_paged_select.h"
#include "oodb/db_table_interface.h"

namespace {

constexpr int64_t kRows = 100000;
constexpr int64_t kInsertBatch = 1000;
constexpr const char* kPageSize = "1000";

CDBTypeStringMap benchColumns()
{
    CDBTypeStringMap columns;
    columns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    columns.setType("HITS", CDBFieldType::DB_TYPE_LONG);
    return columns;
}

std::string nameOf(int64_t key)
{
    return "host-" + std::to_string(key);
}

// A directory of its own under /tmp, removed at exit.
class CBenchDirectory {
public:
    CBenchDirectory()
    {
        char pattern[] = "/tmp/zelvo-oodb-bench-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        _path = pattern;
    }
    ~CBenchDirectory() { std::filesystem::remove_all(_path); }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

// ---- the raw side: Firebird's OO API and nothing else ---------------------

// One input or output message laid out by its metadata.
class CRawMessage {
public:
    CRawMessage(Firebird::ThrowStatusWrapper& status, Firebird::IMessageMetadata* metadata)
        : _status(status), _metadata(metadata), _buffer(metadata->getMessageLength(&status))
    {
    }
    ~CRawMessage() { _metadata->release(); }
    CRawMessage(const CRawMessage&) = delete;
    CRawMessage& operator=(const CRawMessage&) = delete;

    Firebird::IMessageMetadata* metadata() const { return _metadata; }
    unsigned char* data() { return _buffer.data(); }

    unsigned index(const char* name)
    {
        for (unsigned i = 0; i < _metadata->getCount(&_status); ++i)
            if (std::strcmp(_metadata->getField(&_status, i), name) == 0) return i;
        throw std::runtime_error(std::string("no column ") + name);
    }
    void setInt(unsigned i, int64_t value)
    {
        unsigned char* at = &_buffer[_metadata->getOffset(&_status, i)];
        if (_metadata->getType(&_status, i) == SQL_LONG) {
            const int32_t narrow = static_cast<int32_t>(value);
            std::memcpy(at, &narrow, sizeof(narrow));
        } else {
            std::memcpy(at, &value, sizeof(value));
        }
        _notNull(i);
    }
    void setText(unsigned i, const std::string& text)
    {
        unsigned char* at = &_buffer[_metadata->getOffset(&_status, i)];
        const uint16_t length = static_cast<uint16_t>(text.size());
        std::memcpy(at, &length, sizeof(length));
        std::memcpy(at + sizeof(length), text.data(), text.size());
        _notNull(i);
    }
    int64_t getInt(unsigned i)
    {
        const unsigned char* at = &_buffer[_metadata->getOffset(&_status, i)];
        if (_metadata->getType(&_status, i) == SQL_LONG) {
            int32_t narrow;
            std::memcpy(&narrow, at, sizeof(narrow));
            return narrow;
        }
        int64_t value;
        std::memcpy(&value, at, sizeof(value));
        return value;
    }
    std::string getText(unsigned i)
    {
        const unsigned char* at = &_buffer[_metadata->getOffset(&_status, i)];
        uint16_t length;
        std::memcpy(&length, at, sizeof(length));
        return std::string(reinterpret_cast<const char*>(at + sizeof(length)), length);
    }

private:
    void _notNull(unsigned i)
    {
        const int16_t notNull = 0;
        std::memcpy(&_buffer[_metadata->getNullOffset(&_status, i)], &notNull, sizeof(notNull));
    }

    Firebird::ThrowStatusWrapper& _status;
    Firebird::IMessageMetadata* _metadata;
    std::vector<unsigned char> _buffer;
};

// A second attachment to the benchmark's database through the OO API.
class CRawDatabase {
public:
    explicit CRawDatabase(const std::string& file)
        : _master(Firebird::fb_get_master_interface()), _status(_master->getStatus())
    {
        Firebird::IXpbBuilder* dpb = _master->getUtilInterface()->getXpbBuilder(&_status, Firebird::IXpbBuilder::DPB,
                                                                                nullptr, 0);
        dpb->insertString(&_status, isc_dpb_user_name, "SYSDBA");
        dpb->insertString(&_status, isc_dpb_lc_ctype, "UTF8");
        dpb->insertString(&_status, isc_dpb_config, "Providers=Engine12");
        Firebird::IProvider* provider = _master->getDispatcher();
        _attachment = provider->attachDatabase(&_status, file.c_str(), dpb->getBufferLength(&_status),
                                               dpb->getBuffer(&_status));
        provider->release();
        dpb->dispose();
    }
    ~CRawDatabase()
    {
        _attachment->detach(&_status);
        _status.dispose();
    }

    Firebird::ThrowStatusWrapper& status() { return _status; }
    Firebird::ITransaction* begin() { return _attachment->startTransaction(&_status, 0, nullptr); }
    Firebird::IStatement* prepare(Firebird::ITransaction* transaction, const char* sql)
    {
        return _attachment->prepare(&_status, transaction, 0, sql, 3, Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    }

private:
    Firebird::IMaster* _master;
    Firebird::ThrowStatusWrapper _status;
    Firebird::IAttachment* _attachment = nullptr;
};

// Reads the rows of one page the way the layer's callers do: key, name and
// hits of every row. Returns the rows and the last key.
int64_t rawPage(CRawDatabase& db, Firebird::ITransaction* transaction, Firebird::IStatement* statement, CRawMessage& in,
                int64_t* lastKey)
{
    CRawMessage out(db.status(), statement->getOutputMetadata(&db.status()));
    const unsigned pk = out.index("PK");
    const unsigned name = out.index("NAME");
    const unsigned hits = out.index("HITS");
    Firebird::IResultSet* cursor = statement->openCursor(&db.status(), transaction, in.metadata(), in.data(),
                                                         out.metadata(), 0);
    int64_t rows = 0;
    while (cursor->fetchNext(&db.status(), out.data()) == Firebird::IStatus::RESULT_OK) {
        *lastKey = out.getInt(pk);
        benchmark::DoNotOptimize(out.getText(name));
        benchmark::DoNotOptimize(out.getInt(hits));
        ++rows;
    }
    cursor->close(&db.status());
    return rows;
}

// ---- the database, created once per process -------------------------------

class CBenchDatabase {
public:
    static CBenchDatabase& instance()
    {
        static CBenchDatabase database;
        return database;
    }

    CDBBaseSession& session() { return *_session; }
    CDBTableInterface rows() { return _session->table("BENCH_ROWS", benchColumns()); }
    CDBTableInterface inserts() { return _session->table("BENCH_INSERTS", benchColumns()); }
    std::string file() const { return _directory.path() + "/bench.fdb"; }
    CRawDatabase& raw() { return *_raw; }
    // Keys for inserted rows, never used twice in a run.
    int64_t nextInsertKey() { return ++_insertKey; }

private:
    CBenchDatabase()
    {
        ::setenv("FIREBIRD_LOCK", (_directory.path() + "/lock").c_str(), 1);
        _plugin.registerFactories(_facade);
        _controller = std::make_unique<CDBController>("bench", 1, _facade, CDBConstants::firebirdImplementation);
        osk::CStringMap config;
        config.set_string("system.db.path", _directory.path());
        config.set_string("system.db.name", "bench");
        _controller->dbInit(config);
        _session = std::make_unique<CDBBaseSession>(config, *_controller);

        CDBTableInterface table = rows();
        CDBTableInterface insertTable = inserts();
        auto transaction = _session->beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        table.createTable(*transaction);
        insertTable.createTable(*transaction);
        transaction->commit();
        for (int64_t key = 1; key <= kRows; key += 10000) {
            transaction = _session->beginTransaction(CDBConstants::READ_WRITE_ACCESS);
            for (int64_t row = key; row < key + 10000 && row <= kRows; ++row)
                table.insert(*transaction, {{"PK", row}, {"NAME", nameOf(row)}, {"HITS", row % 97}});
            transaction->commit();
        }
        _raw = std::make_unique<CRawDatabase>(file());
    }

    CBenchDirectory _directory;
    fbprov::CFirebirdProviderPlugin _plugin;
    CDBAbstractFactoryFacade _facade;
    std::unique_ptr<CDBController> _controller;
    std::unique_ptr<CDBBaseSession> _session;
    std::unique_ptr<CRawDatabase> _raw;
    int64_t _insertKey = 0;
};

// ---- reading --------------------------------------------------------------

void layerRead(benchmark::State& state, const char* pagerType)
{
    CBenchDatabase& db = CBenchDatabase::instance();
    CDBTableInterface table = db.rows();
    osk::CStringMap args;
    args.set_string("pager_type", pagerType);
    args.set_string("count", kPageSize);
    int64_t rows = 0;
    for (auto _ : state) {
        CDBPagedSelect select(table, args);
        auto transaction = db.session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        const auto visit = [](const CDBRows& row) {
            benchmark::DoNotOptimize(row.asInt64("PK"));
            benchmark::DoNotOptimize(row.asString("NAME"));
            benchmark::DoNotOptimize(row.asInt64("HITS"));
        };
        int64_t read = 0;
        while (const uint64_t page = select.nextPage(*transaction, visit)) read += static_cast<int64_t>(page);
        transaction->commit();
        if (read != kRows) state.SkipWithError("the pager missed rows");
        rows += read;
    }
    state.SetItemsProcessed(rows);
}

void BM_LayerKeyPager(benchmark::State& state)
{
    layerRead(state, "pk");
}
void BM_LayerRowPager(benchmark::State& state)
{
    layerRead(state, "db");
}

// The key windows done by hand: a window of keys, at most a page of rows,
// the next window after the last key.
void BM_RawKeyPager(benchmark::State& state)
{
    CRawDatabase& raw = CBenchDatabase::instance().raw();
    const int64_t page = std::stoll(kPageSize);
    int64_t rows = 0;
    for (auto _ : state) {
        Firebird::ITransaction* transaction = raw.begin();
        Firebird::IStatement* statement = raw.prepare(
            transaction, "SELECT T.* FROM BENCH_ROWS T WHERE (T.PK >= ?) AND (T.PK < ?) ORDER BY T.PK ASC ROWS ?");
        CRawMessage in(raw.status(), statement->getInputMetadata(&raw.status()));
        int64_t start = 1;
        int64_t read = 0;
        while (start <= kRows) {
            in.setInt(0, start);
            in.setInt(1, start + CDBConstants::keyPagerInitialWindow);
            in.setInt(2, page);
            int64_t lastKey = start;
            const int64_t found = rawPage(raw, transaction, statement, in, &lastKey);
            read += found;
            start = found == page ? lastKey + 1 : start + CDBConstants::keyPagerInitialWindow;
        }
        statement->free(&raw.status());
        transaction->commit(&raw.status());
        if (read != kRows) state.SkipWithError("the raw walk missed rows");
        rows += read;
    }
    state.SetItemsProcessed(rows);
}

void BM_RawRowPager(benchmark::State& state)
{
    CRawDatabase& raw = CBenchDatabase::instance().raw();
    const int64_t page = std::stoll(kPageSize);
    int64_t rows = 0;
    for (auto _ : state) {
        Firebird::ITransaction* transaction = raw.begin();
        Firebird::IStatement* statement = raw.prepare(transaction,
                                                      "SELECT T.* FROM BENCH_ROWS T ORDER BY T.PK ASC ROWS ? TO ?");
        CRawMessage in(raw.status(), statement->getInputMetadata(&raw.status()));
        int64_t low = 1;
        int64_t read = 0;
        for (;;) {
            in.setInt(0, low);
            in.setInt(1, low + page - 1);
            int64_t lastKey = 0;
            const int64_t found = rawPage(raw, transaction, statement, in, &lastKey);
            read += found;
            low += found;
            if (found < page) break;
        }
        statement->free(&raw.status());
        transaction->commit(&raw.status());
        if (read != kRows) state.SkipWithError("the raw walk missed rows");
        rows += read;
    }
    state.SetItemsProcessed(rows);
}

// ---- inserting --------------------------------------------------------------

void BM_LayerInsert(benchmark::State& state)
{
    CBenchDatabase& db = CBenchDatabase::instance();
    CDBTableInterface table = db.inserts();
    for (auto _ : state) {
        auto transaction = db.session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        for (int64_t i = 0; i < kInsertBatch; ++i) {
            const int64_t key = db.nextInsertKey();
            table.insert(*transaction, {{"PK", key}, {"NAME", nameOf(key)}, {"HITS", key % 97}});
        }
        transaction->commit();
    }
    state.SetItemsProcessed(state.iterations() * kInsertBatch);
}

void BM_RawInsert(benchmark::State& state)
{
    CBenchDatabase& db = CBenchDatabase::instance();
    CRawDatabase& raw = db.raw();
    for (auto _ : state) {
        Firebird::ITransaction* transaction = raw.begin();
        Firebird::IStatement* statement = raw.prepare(transaction,
                                                      "INSERT INTO BENCH_INSERTS (HITS,NAME,PK) VALUES (?,?,?)");
        CRawMessage in(raw.status(), statement->getInputMetadata(&raw.status()));
        for (int64_t i = 0; i < kInsertBatch; ++i) {
            const int64_t key = db.nextInsertKey();
            in.setInt(0, key % 97);
            in.setText(1, nameOf(key));
            in.setInt(2, key);
            statement->execute(&raw.status(), transaction, in.metadata(), in.data(), nullptr, nullptr);
        }
        statement->free(&raw.status());
        transaction->commit(&raw.status());
    }
    state.SetItemsProcessed(state.iterations() * kInsertBatch);
}

} // namespace

BENCHMARK(BM_LayerKeyPager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawKeyPager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LayerRowPager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRowPager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LayerInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
