#include "oodb/db_table_group_file_reader.h"

#include <algorithm>

#include "extended/exception.h"
#include "oodb/db_messages.h"
#include "standard/string_util.h"

namespace {

[[noreturn]] void throwInvalid(size_t line, const osk::CMessage& why)
{
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::invalidGroupRecord).push(line), why,
                        "CDBTableGroupFileReader::parse", CDBMessages::modulePersistence);
}

} // namespace

bool CDBTableGroupFileReader::read(const std::string& directory, const std::string& file)
{
    _groups.clear();
    return execute(directory, file);
}

CDBTableGroup CDBTableGroupFileReader::parse(const osk::CStringMap& record, size_t line)
{
    for (const auto& entry : record) {
        if (entry.first != "group" && entry.first != "tables" && entry.first != "description") {
            throwInvalid(line, osk::CMessage(CDBMessages::unrecognizedKey).pushs(entry.first));
        }
    }
    for (const char* required : {"group", "tables"}) {
        if (!record.defined(required)) throwInvalid(line, osk::CMessage(CDBMessages::missingKey).pushs(required));
    }
    CDBTableGroup group;
    group.line = line;
    group.group = record.get_string("group", std::string());
    group.tables = osk::CStringUtil::split(record.get_string("tables", std::string()));
    group.description = record.get_string("description", std::string());
    return group;
}

void CDBTableGroupFileReader::_processRecord(const std::string& record, size_t lineNumber)
{
    CDBTableGroup group = parse(osk::CStringMap(record), lineNumber);
    const std::string name = group.group;
    _groups[name] = std::move(group);
}

const CDBTableGroup& CDBTableGroupFileReader::find(const std::string& group) const
{
    const auto found = _groups.find(group);
    if (found == _groups.end()) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotLocateGroup).pushs(group),
                            osk::CMessage(CDBMessages::groupDoesNotExist), "CDBTableGroupFileReader::find",
                            CDBMessages::modulePersistence);
    }
    return found->second;
}

std::vector<std::string> CDBTableGroupFileReader::groupsOfTable(const std::string& table) const
{
    std::vector<std::string> names;
    for (const auto& entry : _groups) {
        const std::vector<std::string>& tables = entry.second.tables;
        if (std::find(tables.begin(), tables.end(), table) != tables.end()) names.push_back(entry.first);
    }
    return names;
}
