#pragma once

#include <map>
#include <string>
#include <vector>

#include "extended/spec_file_reader.h"
#include "oodb/db_statement_spec.h"

// Reads the statement file (a spec file, see osk::CSpecFileReader): one
// record per named SQL statement. Records are checked as they are read; the
// first bad record stops the reading with an osk::CException naming its line.
// A later record of a name replaces the earlier one; a non-zero cursor
// number may be used by one statement only.
class CDBStatementFileReader : public osk::CSpecFileReader {
public:
    explicit CDBStatementFileReader(log_t log = log_t());
    ~CDBStatementFileReader() override = default;

    // The statement of name. Throws "Cannot locate sql spec file '%1'." (why
    // "No such file.") when there is none.
    const CDBStatementSpec& find(const std::string& name) const;
    bool exists(const std::string& name) const { return _statements.count(name) != 0; }

    // Every statement by name.
    const std::map<std::string, CDBStatementSpec>& statements() const { return _statements; }
    // The names of the statements of group, in name order.
    std::vector<std::string> statementsOfGroup(const std::string& group) const;

    // Checks one record and turns it into a statement; line names the record
    // in messages. Throws "Invalid record at line %1 in sql statement spec
    // file." with the cause as why.
    static CDBStatementSpec parse(const osk::CStringMap& record, size_t line);

protected:
    void _processSpecRecord(const osk::CStringMap& record, const std::string& file, size_t lineNumber) override;

private:
    std::map<std::string, CDBStatementSpec> _statements;
};
