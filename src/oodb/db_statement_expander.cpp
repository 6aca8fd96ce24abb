#include "oodb/db_statement_expander.h"

#include <cctype>
#include <utility>

#include "extended/exception.h"
#include "oodb/db_constants.h"
#include "oodb/db_messages.h"

namespace {

std::string upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

CDBStatementExpander::CDBStatementExpander(std::string tableName, CDBTypeStringMap inputDefs)
    : _tableName(std::move(tableName)), _inputDefs(std::move(inputDefs))
{
}

std::string CDBStatementExpander::fields() const
{
    std::string out;
    for (const std::string& name : _inputDefs.columnNames()) {
        if (!out.empty()) out += ',';
        out += name + "=?";
    }
    return out;
}

std::string CDBStatementExpander::fieldNames() const
{
    std::string out;
    for (const std::string& name : _inputDefs.columnNames()) {
        if (!out.empty()) out += ',';
        out += name;
    }
    return out;
}

std::string CDBStatementExpander::fieldValues() const
{
    std::string out;
    const size_t count = _inputDefs.columnNames().size();
    for (size_t i = 0; i < count; ++i) out += i == 0 ? "?" : ",?";
    return out;
}

std::string CDBStatementExpander::constraintName() const
{
    return _tableName + CDBConstants::primaryIndexSuffix;
}

std::string CDBStatementExpander::expand(const std::string& templateText) const
{
    const std::pair<const char*, std::string> replacements[] = {
        {CDBConstants::phTable, _tableName},
        {CDBConstants::phUpperTable, upper(_tableName)},
        {CDBConstants::phFields, fields()},
        {CDBConstants::phFieldNames, fieldNames()},
        {CDBConstants::phFieldValues, fieldValues()},
        {CDBConstants::phPrimaryKeys, CDBConstants::primaryKeyColumn},
        {CDBConstants::phConstraints, constraintName()},
    };
    std::string out;
    out.reserve(templateText.size());
    size_t position = 0;
    while (position < templateText.size()) {
        const size_t open = templateText.find("<<", position);
        if (open == std::string::npos) break;
        out.append(templateText, position, open - position);
        bool replaced = false;
        for (const auto& replacement : replacements) {
            const std::string placeholder = replacement.first;
            if (templateText.compare(open, placeholder.size(), placeholder) == 0) {
                out += replacement.second;
                position = open + placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out += templateText[open];
            position = open + 1;
        }
    }
    if (position < templateText.size()) out.append(templateText, position, std::string::npos);
    return out;
}

std::string CDBStatementExpander::statement(const std::string& templateName) const
{
    const CDBConstants::CTemplate* found = CDBConstants::statementTemplate(templateName);
    if (found == nullptr) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotFindPrecompiled).pushs(templateName),
                            osk::CMessage(CDBMessages::noSuchStatement), "CDBStatementExpander::statement",
                            CDBMessages::moduleOodb);
    }
    return withCursor(expand(found->text), found->cursor);
}

bool CDBStatementExpander::needsCursor(const std::string& statement)
{
    return endsWith(statement, CDBConstants::forUpdateOf) || endsWith(statement, CDBConstants::whereCurrentOf);
}

std::string CDBStatementExpander::withCursor(const std::string& statement, uint32_t cursorNumber)
{
    if (!needsCursor(statement)) return statement;
    return statement + " " + CDBConstants::cursorName(cursorNumber);
}
