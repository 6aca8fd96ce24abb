#include "oodb/db_foreign_key_class_map.h"

#include "oodb/db_constants.h"
#include "standard/string_util.h"

bool CDBForeignKeyClassMap::add(const std::string& srcTable, const std::string& srcField,
                                const std::string& destTable, const std::string& destField)
{
    const std::string source = osk::CStringUtil::trim(srcTable, osk::CStringUtil::whitespace);
    const std::string column = osk::CStringUtil::trim(srcField, osk::CStringUtil::whitespace);
    CTarget destination{osk::CStringUtil::trim(destTable, osk::CStringUtil::whitespace),
                        osk::CStringUtil::trim(destField, osk::CStringUtil::whitespace)};
    if (source.empty() || column.empty() || destination.table.empty() || destination.field.empty()) return false;
    auto found = _classes.find(source);
    if (found == _classes.end()) found = _classes.emplace(source, targets_t(osk::CStringMap::CKeyLess{true})).first;
    found->second[column] = std::move(destination);
    return true;
}

bool CDBForeignKeyClassMap::addCatalogueRow(const osk::CStringMap& row)
{
    return add(row.get_string(CDBConstants::fkSrcTable, std::string()),
               row.get_string(CDBConstants::fkSrcField, std::string()),
               row.get_string(CDBConstants::fkDestTable, std::string()),
               row.get_string(CDBConstants::fkDestField, std::string()));
}

const CDBForeignKeyClassMap::CTarget* CDBForeignKeyClassMap::target(const std::string& srcTable,
                                                                    const std::string& srcField) const
{
    const auto found = _classes.find(srcTable);
    if (found == _classes.end()) return nullptr;
    const auto column = found->second.find(srcField);
    return column == found->second.end() ? nullptr : &column->second;
}

const CDBForeignKeyClassMap::targets_t& CDBForeignKeyClassMap::foreignKeysOf(const std::string& srcTable) const
{
    static const targets_t none(osk::CStringMap::CKeyLess{true});
    const auto found = _classes.find(srcTable);
    return found == _classes.end() ? none : found->second;
}

std::vector<std::string> CDBForeignKeyClassMap::classesReferencing(const std::string& destTable) const
{
    const osk::CStringMap::CKeyLess less{true};
    std::vector<std::string> classes;
    for (const auto& entry : _classes) {
        for (const auto& column : entry.second) {
            if (!less(column.second.table, destTable) && !less(destTable, column.second.table)) {
                classes.push_back(entry.first);
                break;
            }
        }
    }
    return classes;
}
