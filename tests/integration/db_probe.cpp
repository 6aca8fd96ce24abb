// db_probe: reaches the service's database the way zelvo-tftpd does (its
// configuration, its plug-ins, CTFTPDatabase) from a process of its own, so
// that a test can show several processes sharing one database.
//
//   db_probe CONF put KEY VALUE   stores a key-value record (class "probe",
//                                 subclass "shared")
//   db_probe CONF get KEY         prints the value of the record, through the
//                                 shipped statement keyvalue.class_subclass_key
//   db_probe CONF version         prints the schema version
// Exit status 0 on success, 1 on an error (printed), 3 when get finds no
// record.
#include <iostream>
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

int put(CTFTPDatabase& database, const osk::CStringMap& config, const std::string& key, const std::string& value)
{
    CDBBaseSession session(config, database.database());
    CDBTypeStringMap columns;
    columns.setType("OID", CDBFieldType::DB_TYPE_LONG);
    for (const char* text : {"KCLASS", "SUBCLASS", "KKEY", "KVALUE"})
        columns.setType(text, CDBFieldType::DB_TYPE_STRING);
    CDBTableInterface table = session.table("osk_keyvalues", columns);
    auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t oid = table.largestKey(*transaction) + 1;
    table.insert(*transaction, {{"PK", oid}, {"OID", oid}, {"KCLASS", std::string(kClass)},
                                {"SUBCLASS", std::string(kSubclass)}, {"KKEY", key}, {"KVALUE", value}});
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: db_probe CONF put KEY VALUE | get KEY | version\n";
        return 2;
    }
    const std::string command = argv[2];
    try {
        // A dry-run start loads the plug-ins without running them or binding
        // a socket; the database opens here instead.
        CTFTPController controller("db_probe", argv[1]);
        controller.logLevels(osk::CException::severityMask("error"));
        controller.init(false);
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
