// db_probe: reaches the service's database the way zelvo-tftpd does (its
// configuration, its plug-ins, CTFTPDatabase) from a process of its own, so
// that a test can show several processes sharing one database.
//
//   db_probe CONF put KEY VALUE   stores a key-value record (class "probe",
//                                 subclass "shared")
//   db_probe CONF get KEY         prints the value of the record, through the
//                                 shipped statement keyvalue.class_subclass_key
//   db_probe CONF version         prints the schema version
//   db_probe CONF sql STATEMENT...
//                                 runs the statements in one transaction
//                                 (rows written while a daemon serves)
//   db_probe CONF churn ROWS SEED edits objects of ROWS records each (class
//                                 "crash", one subclass per object, named
//                                 after SEED) until it is killed: inserts,
//                                 rewrites and deletes
//                                 whole objects, one transaction each, and
//                                 reads them all back now and then
//   db_probe CONF objects         prints every "crash" object: name, record
//                                 count, the distinct generations it holds
// churn prints "begin OP NAME GEN" before a transaction and "done OP NAME
// GEN" once it has committed (GEN 0 for a delete), flushing each line, so a
// test that kills it knows what may and what must be stored. A read-back
// that finds an object with a record count other than ROWS or with mixed
// generations prints "torn NAME" and exits 4.
// Exit status 0 on success, 1 on an error (printed), 3 when get finds no
// record.
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>

#include "extended/exception.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "oodb/db_table_interface.h"
#include "tftp/tftp_database/tftp_database.h"
#include "tftp/tftp_server/tftp_controller.h"

namespace {

const char* const kClass = "probe";
const char* const kSubclass = "shared";

CDBTypeStringMap keyValueColumns()
{
    CDBTypeStringMap columns;
    columns.setType("OID", CDBFieldType::DB_TYPE_LONG);
    for (const char* text : {"KCLASS", "SUBCLASS", "KKEY", "KVALUE"})
        columns.setType(text, CDBFieldType::DB_TYPE_STRING);
    return columns;
}

int put(CTFTPDatabase& database, const osk::CStringMap& config, const std::string& key, const std::string& value)
{
    CDBBaseSession session(config, database.database());
    CDBTableInterface table = session.table("osk_keyvalues", keyValueColumns());
    auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t oid = table.largestKey(*transaction) + 1;
    table.insert(*transaction, {{"PK", oid}, {"OID", oid}, {"KCLASS", std::string(kClass)},
                                {"SUBCLASS", std::string(kSubclass)}, {"KKEY", key}, {"KVALUE", value}});
    transaction->commit();
    return 0;
}

int sql(CTFTPDatabase& database, const osk::CStringMap& config, char** statements, int count)
{
    CDBBaseSession session(config, database.database());
    auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    for (int i = 0; i < count; ++i) transaction->execute(statements[i]);
    transaction->commit();
    return 0;
}

int get(CTFTPDatabase& database, const osk::CStringMap& config, const std::string& key)
{
    CDBBaseSession session(config, database.database());
    auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    const std::string& sql = database.statements().find("keyvalue.class_subclass_key").statement;
    auto rows = transaction->select(sql, {std::string(kClass), std::string(kSubclass), key});
    if (!rows->fetch()) return 3;
    std::cout << rows->asString("KVALUE") << "\n";
    return 0;
}

// The records of one "crash" object as a read finds them.
struct CObjectRecords {
    size_t rows = 0;
    std::set<std::string> generations;
};

const char* const kCrashClass = "crash";

// The generation a record's value carries: the text before the first ":".
std::string generationOf(const std::string& value) { return value.substr(0, value.find(':')); }

std::map<std::string, CObjectRecords> readObjects(CDBTransaction& transaction)
{
    std::map<std::string, CObjectRecords> objects;
    auto rows = transaction.select("SELECT SUBCLASS, KVALUE FROM osk_keyvalues WHERE KCLASS = ?",
                                   {std::string(kCrashClass)});
    while (rows->fetch()) {
        CObjectRecords& object = objects[rows->asString("SUBCLASS")];
        ++object.rows;
        object.generations.insert(generationOf(rows->asString("KVALUE")));
    }
    return objects;
}

// Edits whole objects, each edit one transaction, until the process is
// killed. The values are long enough that one object spans several pages.
int churn(CTFTPDatabase& database, const osk::CStringMap& config, size_t rowsPerObject, unsigned seed)
{
    CDBBaseSession session(config, database.database());
    CDBTableInterface table = session.table("osk_keyvalues", keyValueColumns());
    std::mt19937 random(seed);
    const std::string padding(600, 'x');
    std::map<std::string, unsigned> live; // object name -> generation
    {
        auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        for (const auto& object : readObjects(*transaction))
            live[object.first] = static_cast<unsigned>(std::atoi(object.second.generations.begin()->c_str()));
    }
    unsigned generation = 0;
    for (const auto& object : live) generation = std::max(generation, object.second);
    // Names of this run's own, so that no new object takes an earlier one's.
    const std::string prefix = "object" + std::to_string(seed) + ".";
    unsigned next = 0;
    for (;;) {
        const unsigned choice = random() % 10;
        if (choice == 0) {
            // A read of everything, as a dump does, in its own transaction.
            auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
            for (const auto& object : readObjects(*transaction)) {
                if (object.second.rows != rowsPerObject || object.second.generations.size() != 1) {
                    std::cout << "torn " << object.first << std::endl;
                    return 4;
                }
            }
            transaction->commit();
            continue;
        }
        ++generation;
        auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        if (live.empty() || choice <= 3) {
            const std::string name = prefix + std::to_string(next++);
            std::cout << "begin insert " << name << " " << generation << std::endl;
            int64_t key = table.largestKey(*transaction);
            for (size_t i = 0; i < rowsPerObject; ++i) {
                ++key;
                const std::string value = std::to_string(generation) + ":" + std::to_string(i) + padding;
                table.insert(*transaction, {{"PK", key}, {"OID", key}, {"KCLASS", std::string(kCrashClass)},
                                            {"SUBCLASS", name}, {"KKEY", "field" + std::to_string(i)},
                                            {"KVALUE", value}});
            }
            transaction->commit();
            live[name] = generation;
            std::cout << "done insert " << name << " " << generation << std::endl;
            continue;
        }
        auto object = live.begin();
        std::advance(object, static_cast<long>(random() % live.size()));
        const std::string name = object->first;
        if (choice <= 8) {
            std::cout << "begin update " << name << " " << generation << std::endl;
            // One row at a time: a crash between two of them must not show.
            for (size_t i = 0; i < rowsPerObject; ++i) {
                const std::string value = std::to_string(generation) + ":" + std::to_string(i) + padding;
                transaction->execute("UPDATE osk_keyvalues SET KVALUE = ? WHERE KCLASS = ? AND SUBCLASS = ? AND KKEY = ?",
                                     {value, std::string(kCrashClass), name, "field" + std::to_string(i)});
            }
            transaction->commit();
            object->second = generation;
            std::cout << "done update " << name << " " << generation << std::endl;
        } else {
            std::cout << "begin delete " << name << " 0" << std::endl;
            for (size_t i = 0; i < rowsPerObject; ++i)
                transaction->execute("DELETE FROM osk_keyvalues WHERE KCLASS = ? AND SUBCLASS = ? AND KKEY = ?",
                                     {std::string(kCrashClass), name, "field" + std::to_string(i)});
            transaction->commit();
            live.erase(object);
            std::cout << "done delete " << name << " 0" << std::endl;
        }
    }
}

int objects(CTFTPDatabase& database, const osk::CStringMap& config)
{
    CDBBaseSession session(config, database.database());
    auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    for (const auto& object : readObjects(*transaction)) {
        std::cout << object.first << " " << object.second.rows;
        for (const std::string& generation : object.second.generations) std::cout << " " << generation;
        std::cout << "\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: db_probe CONF put KEY VALUE | get KEY | version | churn ROWS SEED | objects | sql "
                     "STATEMENT...\n";
        return 2;
    }
    const std::string command = argv[2];
    try {
        // A dry-run start loads the plug-ins without running them or binding
        // a socket; the database opens here instead.
        CTFTPController controller("db_probe", argv[1]);
        controller.logLevels(osk::CException::severityMask("error"));
        controller.initDryRun();
        osk::CStringMap config;
        {
            const osk::CConfigPtr shared = controller.config();
            osk::CConfigGuard guard(shared);
            config = *shared;
        }
        CTFTPDatabase database;
        database.open(controller);
        if (command == "put" && argc == 5) return put(database, config, argv[3], argv[4]);
        if (command == "get" && argc == 4) return get(database, config, argv[3]);
        if (command == "churn" && argc == 5)
            return churn(database, config, std::strtoul(argv[3], nullptr, 10),
                         static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
        if (command == "objects" && argc == 3) return objects(database, config);
        if (command == "sql" && argc > 3) return sql(database, config, argv + 3, argc - 3);
        if (command == "version" && argc == 3) {
            std::cout << database.schemaVersion() << "\n";
            return 0;
        }
        std::cerr << "db_probe: unknown command\n";
        return 2;
    } catch (const osk::CException& e) {
        std::cerr << "db_probe: " << e.printableError() << "\n";
        return 1;
    }
}
