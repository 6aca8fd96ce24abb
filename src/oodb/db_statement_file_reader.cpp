#include "oodb/db_statement_file_reader.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

namespace {

const char* const kRequiredKeys[] = {"name", "group", "arg_names", "arg_types", "statement"};
const char* const kOptionalKeys[] = {"precompile", "function_name", "cursor_num", "generic_args",
                                     "description"};

[[noreturn]] void throwInvalid(size_t line, const osk::CMessage& why, const char* context)
{
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::invalidStatementRecord).push(line), why, context,
                        CDBMessages::modulePersistence);
}

bool knownKey(const std::string& key)
{
    for (const char* known : kRequiredKeys) {
        if (key == known) return true;
    }
    for (const char* known : kOptionalKeys) {
        if (key == known) return true;
    }
    return false;
}

} // namespace

CDBStatementFileReader::CDBStatementFileReader(log_t log) : osk::CSpecFileReader(std::move(log)) {}

CDBStatementSpec CDBStatementFileReader::parse(const osk::CStringMap& record, size_t line)
{
    const char* const context = "CDBStatementFileReader::parse";
    for (const auto& entry : record) {
        if (!knownKey(entry.first)) {
            throwInvalid(line, osk::CMessage(CDBMessages::unrecognizedKey).pushs(entry.first), context);
        }
    }
    for (const char* required : kRequiredKeys) {
        if (!record.defined(required)) {
            throwInvalid(line, osk::CMessage(CDBMessages::missingKey).pushs(required), context);
        }
    }

    CDBStatementSpec spec;
    spec.line = line;
    spec.name = record.get_string("name", std::string());
    spec.group = record.get_string("group", std::string());
    spec.statement = record.get_string("statement", std::string());
    spec.argNames = osk::CStringUtil::split(record.get_string("arg_names", std::string()));
    for (const std::string& type : osk::CStringUtil::split(record.get_string("arg_types", std::string()))) {
        try {
            spec.argTypes.push_back(CDBFieldType::fromFormalName(type));
        } catch (const osk::CException& e) {
            throwInvalid(line, e.whatMsg(), context);
        }
    }
    if (spec.argNames.size() != spec.argTypes.size()) {
        throwInvalid(line, osk::CMessage(CDBMessages::argumentCountsDiffer), context);
    }
    spec.precompile = record.get_bool("precompile", false);
    spec.functionName = record.get_string("function_name", std::string());
    spec.genericArgs = record.get_string("generic_args", std::string());
    spec.description = record.get_string("description", std::string());
    const std::string cursor = record.get_string("cursor_num", std::string());
    if (!cursor.empty()) {
        try {
            spec.cursorNum = osk::CNumberConversion(cursor).toUInt32();
        } catch (const osk::CException& e) {
            throwInvalid(line, e.whyMsg(), context);
        }
    }
    return spec;
}

void CDBStatementFileReader::_processSpecRecord(const osk::CStringMap& record, const std::string&, size_t lineNumber)
{
    CDBStatementSpec spec = parse(record, lineNumber);
    if (spec.cursorNum != 0) {
        for (const auto& other : _statements) {
            // The record a later one of the same name replaces gives up its cursor.
            if (other.first != spec.name && other.second.cursorNum == spec.cursorNum) {
                throw OSK_EXCEPTION(osk::CMessage(CDBMessages::duplicateCursorNumber).push(lineNumber),
                                    osk::CMessage(CDBMessages::cursorNumbersOverlap),
                                    "CDBStatementFileReader::_processSpecRecord", CDBMessages::modulePersistence);
            }
        }
    }
    const std::string name = spec.name;
    _statements[name] = std::move(spec);
}

const CDBStatementSpec& CDBStatementFileReader::find(const std::string& name) const
{
    const auto found = _statements.find(name);
    if (found == _statements.end()) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotLocateStatement).pushs(name),
                            osk::CMessage(CDBMessages::noSuchFile), "CDBStatementFileReader::find",
                            CDBMessages::modulePersistence);
    }
    return found->second;
}

std::vector<std::string> CDBStatementFileReader::statementsOfGroup(const std::string& group) const
{
    std::vector<std::string> names;
    for (const auto& entry : _statements) {
        if (entry.second.group == group) names.push_back(entry.first);
    }
    return names;
}
