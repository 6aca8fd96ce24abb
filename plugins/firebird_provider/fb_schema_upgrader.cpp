#include "firebird_provider/fb_schema_upgrader.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_sql_script.h"
#include "firebird_provider/fb_statement.h"
#include "firebird_provider/fb_transaction.h"
#include "oodb/db_constants.h"

namespace fbprov {

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The names of the "*.sql" files of a directory, sorted; throws when the
// directory cannot be read.
std::vector<std::string> scriptFiles(const std::string& directory, const char* context)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir)
        throw CFbError::make(osk::CMessage("Cannot find the database scripts of '%1'.").pushs(directory),
                             osk::CMessage("The directory cannot be read; check system.db.versions_path."),
                             context);
    std::vector<std::string> files;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (endsWith(name, ".sql"))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CFbError::make(osk::CMessage("Cannot read the database schema script '%1'.").pushs(path),
                             osk::CMessage("The file cannot be opened."), "CFbSchemaUpgrader::statementsOf");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool tableExists(CFbTransaction& transaction, const std::string& table)
{
    CFbStatement query(transaction, "SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?");
    return query.select(transaction, {table})->fetch();
}

} // namespace

CFbSchemaUpgrader::CFbSchemaUpgrader(CFbAttachment& attachment, std::string versionsPath,
                                     std::vector<std::string> initialData)
    : _attachment(attachment), _versionsPath(std::move(versionsPath)), _initialData(std::move(initialData))
{
}

std::vector<std::string> CFbSchemaUpgrader::initialDataScripts(const std::string& schemaDirectory)
{
    std::vector<std::string> scripts;
    const std::string defaultInit = schemaDirectory + "/" + CDBConstants::defaultInitScript;
    if (::access(defaultInit.c_str(), F_OK) == 0)
        scripts.push_back(defaultInit);
    const std::string imports = schemaDirectory + "/" + CDBConstants::importDirectory;
    if (::access(imports.c_str(), F_OK) == 0)
        for (const std::string& file : scriptFiles(imports, "CFbSchemaUpgrader::initialDataScripts"))
            scripts.push_back(imports + "/" + file);
    return scripts;
}

void CFbSchemaUpgrader::_ensureBookkeeping()
{
    // Each table in a transaction of its own: DDL takes effect on commit, and
    // a crash between the two leaves a state the next call completes.
    const std::pair<const char*, const char*> tables[] = {
        {"SCHEMA_VERSION", "CREATE TABLE SCHEMA_VERSION (NUMBER INTEGER NOT NULL)"},
        {"SCHEMA_PROGRESS",
         "CREATE TABLE SCHEMA_PROGRESS (VERSION INTEGER NOT NULL PRIMARY KEY, STATEMENTS_DONE INTEGER NOT NULL)"},
        {"SCHEMA_INITIAL_DATA", "CREATE TABLE SCHEMA_INITIAL_DATA (STATEMENTS_DONE INTEGER NOT NULL)"},
    };
    for (const auto& [name, ddl] : tables) {
        CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
        if (!tableExists(transaction, name)) {
            CFbStatement(transaction, ddl).execute(transaction);
            transaction.commit();
        }
    }
    CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
    CFbStatement count(transaction, "SELECT COUNT(*) FROM SCHEMA_VERSION");
    auto rows = count.select(transaction);
    rows->fetch();
    if (rows->asInt64(0) == 0) {
        rows->close();
        CFbStatement(transaction, "INSERT INTO SCHEMA_VERSION (NUMBER) VALUES (0)").execute(transaction);
        transaction.commit();
    }
}

unsigned CFbSchemaUpgrader::currentVersion()
{
    _ensureBookkeeping();
    CFbTransaction transaction(_attachment, CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT MAX(NUMBER) FROM SCHEMA_VERSION");
    auto rows = query.select(transaction);
    rows->fetch();
    return static_cast<unsigned>(rows->asInt64(0));
}

bool CFbSchemaUpgrader::upgradeInProgress()
{
    _ensureBookkeeping();
    CFbTransaction transaction(_attachment, CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT 1 FROM SCHEMA_PROGRESS");
    return query.select(transaction)->fetch();
}

bool CFbSchemaUpgrader::initialDataPending()
{
    _ensureBookkeeping();
    CFbTransaction transaction(_attachment, CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT 1 FROM SCHEMA_INITIAL_DATA");
    return query.select(transaction)->fetch();
}

unsigned CFbSchemaUpgrader::_statementsDone(unsigned version)
{
    CFbTransaction transaction(_attachment, CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT STATEMENTS_DONE FROM SCHEMA_PROGRESS WHERE VERSION = ?");
    auto rows = query.select(transaction, {int64_t(version)});
    return rows->fetch() ? static_cast<unsigned>(rows->asInt64(0)) : 0;
}

std::vector<std::string> CFbSchemaUpgrader::statementsOf(unsigned version) const
{
    const std::string directory = _versionsPath + "/" + std::to_string(version);
    std::vector<std::string> statements;
    for (const std::string& file : scriptFiles(directory, "CFbSchemaUpgrader::statementsOf")) {
        const std::string path = directory + "/" + file;
        for (std::string& statement : CFbSqlScript::split(fileText(path), path))
            statements.push_back(std::move(statement));
    }
    return statements;
}

void CFbSchemaUpgrader::upgrade(unsigned required)
{
    unsigned current = currentVersion();
    if (current > required)
        throw CFbError::make(osk::CMessage("Cannot use the database schema version %1.").push(current),
                             osk::CMessage("The database is newer than version %1, which this program "
                                           "requires; run the matching program version.")
                                 .push(required),
                             "CFbSchemaUpgrader::upgrade");
    // Version 0 is a new database (or one whose first start stopped before
    // its first version was done): it owes its initial data.
    if (current == 0 && !_initialData.empty())
        _markInitialDataPending();
    for (unsigned version = current + 1; version <= required; ++version)
        _apply(version);
    // A program without initial data leaves what a database owes owed.
    if (!_initialData.empty() && initialDataPending())
        _applyInitialData();
}

void CFbSchemaUpgrader::_runResumable(const std::vector<std::string>& statements, unsigned done,
                                      const record_t& recordDone, const failure_t& failure)
{
    for (; done < statements.size(); ++done) {
        try {
            CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
            CFbStatement(transaction, statements[done]).execute(transaction);
            recordDone(transaction, done + 1);
            transaction.commit();
        } catch (const osk::CException& e) {
            throw failure(done, e);
        }
    }
}

void CFbSchemaUpgrader::_apply(unsigned version)
{
    const std::vector<std::string> statements = statementsOf(version);
    _runResumable(
        statements, _statementsDone(version),
        [version](CFbTransaction& transaction, unsigned done) {
            CFbStatement(transaction, "UPDATE OR INSERT INTO SCHEMA_PROGRESS (VERSION, STATEMENTS_DONE) "
                                      "VALUES (?, ?) MATCHING (VERSION)")
                .execute(transaction, {int64_t(version), int64_t(done)});
        },
        [version](size_t index, const osk::CException& e) {
            return CFbError::make(osk::CMessage("Cannot upgrade the database schema to version %1.").push(version),
                                  osk::CMessage("Statement %1 of the version failed: %2")
                                      .push(index + 1)
                                      .pushs(e.printableError()),
                                  "CFbSchemaUpgrader::upgrade");
        });
    CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
    CFbStatement(transaction, "UPDATE SCHEMA_VERSION SET NUMBER = ?").execute(transaction, {int64_t(version)});
    CFbStatement(transaction, "DELETE FROM SCHEMA_PROGRESS WHERE VERSION = ?").execute(transaction, {int64_t(version)});
    transaction.commit();
}

void CFbSchemaUpgrader::_markInitialDataPending()
{
    if (initialDataPending())
        return;
    CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
    CFbStatement(transaction, "INSERT INTO SCHEMA_INITIAL_DATA (STATEMENTS_DONE) VALUES (0)").execute(transaction);
    transaction.commit();
}

void CFbSchemaUpgrader::_applyInitialData()
{
    std::vector<std::string> statements;
    std::vector<std::string> origins;
    for (const std::string& path : _initialData) {
        for (std::string& statement : CFbSqlScript::split(fileText(path), path)) {
            statements.push_back(std::move(statement));
            origins.push_back(path);
        }
    }
    unsigned done = 0;
    {
        CFbTransaction transaction(_attachment, CFbTransaction::readOnly);
        CFbStatement query(transaction, "SELECT STATEMENTS_DONE FROM SCHEMA_INITIAL_DATA");
        auto rows = query.select(transaction);
        if (rows->fetch())
            done = static_cast<unsigned>(rows->asInt64(0));
    }
    _runResumable(
        statements, done,
        [](CFbTransaction& transaction, unsigned count) {
            CFbStatement(transaction, "UPDATE SCHEMA_INITIAL_DATA SET STATEMENTS_DONE = ?")
                .execute(transaction, {int64_t(count)});
        },
        [&origins](size_t index, const osk::CException& e) {
            return CFbError::make(osk::CMessage("Cannot load the initial data of the new database."),
                                  osk::CMessage("A statement of '%1' failed: %2; correct the script and start "
                                                "again, the statements before it are kept.")
                                      .pushs(origins[index])
                                      .pushs(e.printableError()),
                                  "CFbSchemaUpgrader::upgrade");
        });
    CFbTransaction transaction(_attachment, CFbTransaction::readWrite);
    CFbStatement(transaction, "DELETE FROM SCHEMA_INITIAL_DATA").execute(transaction);
    transaction.commit();
}

} // namespace fbprov
