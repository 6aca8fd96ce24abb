#include "firebird_provider/fb_error.h"

#include <ibase.h>

#include <map>
#include <utility>

#include "firebird_provider/fb_error_code_map.h"
#include "firebird_provider/fb_master.h"
#include "standard/string_util.h"

namespace fbprov {

namespace {

// Plain explanations of the codes a service meets in practice. Codes of the
// same family share a text; the search takes the first code of the vector
// that is listed, so the specific code after a general one (isc_dsql_error
// followed by isc_dsql_relation_err) still finds its text.
const std::map<intptr_t, const char*>& explanations()
{
    static const std::map<intptr_t, const char*> texts = {
        {isc_bad_db_format, "The file is not a Firebird database or is damaged; restore it from a backup or move it "
                            "away so that a new database is created."},
        {isc_wrong_ods, "The database was written by an incompatible Firebird version; convert it with a backup "
                        "and restore."},
        {isc_db_corrupt, "The database is corrupt; restore it from a backup."},
        {isc_io_open_err, "The database file cannot be opened; check that it exists and that this process may read "
                          "and write it."},
        {isc_io_create_err, "The database file cannot be created; check that the directory exists and is "
                            "writable."},
        {isc_io_error, "An input/output error occurred on the database file; check the file, its permissions and "
                       "the free disk space."},
        {isc_db_or_file_exists, "The database file already exists."},
        {isc_unavailable, "The database engine is not available; check the Firebird installation."},
        {isc_login, "The database refused the user name or password; check system.db.user and "
                    "system.db.password."},
        {isc_network_error, "The database server cannot be reached; check system.db.hostname and that the server "
                            "is running."},
        {isc_net_connect_err, "The database server cannot be reached; check system.db.hostname and that the server "
                              "is running."},
        {isc_shutdown, "The database is shut down."},
        {isc_lock_conflict, "Another process holds the database or the record; try again later."},
        {isc_deadlock, "The record is locked by another transaction; try again later."},
        {isc_update_conflict, "The record was changed by a concurrent transaction; try again."},
        {isc_lock_timeout, "A lock could not be obtained in time; try again later."},
        {isc_read_only_trans, "The transaction is read-only and cannot change data."},
        {isc_no_dup, "A unique value already exists."},
        {isc_unique_key_violation, "A unique value already exists."},
        {isc_foreign_key, "A reference to another record is not valid."},
        {isc_check_constraint, "A value violates a check constraint."},
        {isc_not_valid, "A value is not valid for its column."},
        {isc_no_cur_rec, "The cursor is not positioned on a record."},
        {isc_dsql_cursor_err, "The named cursor is not open."},
        {isc_dsql_relation_err, "The table does not exist."},
        {isc_dsql_field_err, "The column does not exist."},
        {isc_dsql_token_unk_err, "The SQL text has a syntax error."},
        {isc_dsql_command_err, "The SQL statement is not valid."},
        {isc_dsql_count_mismatch, "The number of values does not match the number of columns."},
        {isc_no_meta_update, "The schema cannot be changed; the object is in use or the change is not allowed."},
        {isc_no_priv, "The database user lacks the privilege for this operation."},
        {isc_convert_error, "A value cannot be converted to the column's type."},
        {isc_string_truncation, "A text is longer than its column allows."},
        {isc_arith_except, "A number is out of range or a text is too long for its column."},
    };
    return texts;
}

} // namespace

CDBException CFbError::make(const osk::CMessage& what, Firebird::IStatus* status, const char* context)
{
    const std::vector<intptr_t> found = codes(status->getErrors());
    osk::CException e = OSK_EXCEPTION(what,
                                      osk::CMessage("%1 Firebird reports: %2").pushs(explanation(found)).pushs(
                                          firebirdText(status)),
                                      context, module);
    if (!found.empty())
        e.err_code(static_cast<int>(found.front()));
    return CDBException(std::move(e), CFbErrorCodeMap::instance().firstKnown({found.begin(), found.end()}));
}

osk::CException CFbError::make(const osk::CMessage& what, const osk::CMessage& why, const char* context)
{
    return OSK_EXCEPTION(what, why, context, module);
}

std::vector<intptr_t> CFbError::codes(const intptr_t* vector)
{
    std::vector<intptr_t> result;
    // Each entry is a kind and a value, except counted strings, which carry a
    // length and a pointer.
    for (const intptr_t* p = vector; p && *p != isc_arg_end;) {
        if (*p == isc_arg_gds && p[1] != 0)
            result.push_back(p[1]);
        p += (*p == isc_arg_cstring) ? 3 : 2;
    }
    return result;
}

std::string CFbError::explanation(const std::vector<intptr_t>& codes)
{
    for (intptr_t code : codes) {
        auto it = explanations().find(code);
        if (it != explanations().end())
            return it->second;
    }
    return "The database reported an error.";
}

std::string CFbError::firebirdText(Firebird::IStatus* status)
{
    char buffer[2048] = {};
    CFbMaster::util()->formatStatus(buffer, sizeof buffer, status);
    std::string joined;
    for (const std::string& line : osk::CStringUtil::split(buffer, "\n", " \t\r-")) {
        if (!joined.empty())
            joined += "; ";
        joined += line;
    }
    return joined;
}

} // namespace fbprov
