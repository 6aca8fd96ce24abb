#pragma once

#include <functional>
#include <string>
#include <vector>

#include "extended/exception.h"

namespace fbprov {

class CFbAttachment;
class CFbTransaction;

// Brings a database's schema to the version the program needs. The scripts
// of version n are the files "*.sql" of the directory <versions>/<n>, run in
// the order of their names; a new database starts at version 0 and goes
// through every version up to the one required.
//
// Firebird applies DDL only when its transaction commits, so later
// statements of a script could not use the tables that earlier ones create
// if a whole version ran in one transaction. Each statement therefore
// commits on its own, together with a progress row (SCHEMA_PROGRESS) that
// counts the statements done: a run that stops half-way (a failing
// statement, a crash) resumes after the last committed statement. The
// version number in SCHEMA_VERSION changes only after the last statement of
// a version, in the same transaction that removes the progress row.
//
// A new database also gets its initial data: scripts run once, after the
// versions. Before the first version begins, a row of SCHEMA_INITIAL_DATA
// marks the data as owed; it counts the data statements done like the
// progress row and goes when the last one is done. A database that was
// interrupted anywhere on its first start therefore either still has
// version 0 or still owes its data, and the next upgrade() completes it:
// a database at the required version without that row is complete.
class CFbSchemaUpgrader {
public:
    // initialData: the scripts a new database runs after its versions, in
    // order (see initialDataScripts).
    CFbSchemaUpgrader(CFbAttachment& attachment, std::string versionsPath,
                      std::vector<std::string> initialData = {});

    // The initial data of a schema directory: "default_init.sql" when it
    // exists, then the "*.sql" files of "import" in name order (a missing
    // file or directory contributes nothing).
    static std::vector<std::string> initialDataScripts(const std::string& schemaDirectory);

    // The version recorded in SCHEMA_VERSION; 0 for a database without one
    // (the version table is created then).
    unsigned currentVersion();
    // Whether a version was begun and not finished.
    bool upgradeInProgress();
    // Whether a new database has not yet received all its initial data.
    bool initialDataPending();
    // Applies the scripts of every version above the current one up to
    // `required`, then, on a new database, the initial data. Throws
    // osk::CException, leaving the completed statements recorded, when a
    // script is missing or fails, and when the database is newer than
    // `required` (a newer database is not changed).
    void upgrade(unsigned required);

    // The statements of one version, in order.
    std::vector<std::string> statementsOf(unsigned version) const;

private:
    void _ensureBookkeeping();
    unsigned _statementsDone(unsigned version);
    void _apply(unsigned version);
    void _markInitialDataPending();
    void _applyInitialData();
    // Runs statements from the count of those done on, each committed in
    // one transaction with the new count that recordDone writes. A failing
    // statement (its index and error) becomes the exception failure makes.
    using record_t = std::function<void(CFbTransaction&, unsigned done)>;
    using failure_t = std::function<osk::CException(size_t index, const osk::CException& error)>;
    void _runResumable(const std::vector<std::string>& statements, unsigned done, const record_t& recordDone,
                       const failure_t& failure);

    CFbAttachment& _attachment;
    std::string _versionsPath;
    std::vector<std::string> _initialData;
};

} // namespace fbprov
