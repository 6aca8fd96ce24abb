#pragma once

#include <string>
#include <vector>

namespace fbprov {

class CFbAttachment;

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
// a version, in the same transaction that removes the progress row, so a
// database whose SCHEMA_VERSION is the required one is complete.
class CFbSchemaUpgrader {
public:
    CFbSchemaUpgrader(CFbAttachment& attachment, std::string versionsPath);

    // The version recorded in SCHEMA_VERSION; 0 for a database without one
    // (the version table is created then).
    unsigned currentVersion();
    // Whether a version was begun and not finished.
    bool upgradeInProgress();
    // Applies the scripts of every version above the current one up to
    // `required`. Throws osk::CException, leaving the completed statements
    // recorded, when a script is missing or fails, and when the database is
    // newer than `required`.
    void upgrade(unsigned required);

    // The statements of one version, in order.
    std::vector<std::string> statementsOf(unsigned version) const;

private:
    void _ensureBookkeeping();
    unsigned _statementsDone(unsigned version);
    void _apply(unsigned version);

    CFbAttachment& _attachment;
    std::string _versionsPath;
};

} // namespace fbprov
