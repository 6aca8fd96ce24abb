#include "firebird_provider/fb_sequence.h"

#include <algorithm>
#include <cctype>

#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_statement.h"

namespace fbprov {

namespace {

// Letters, digits, "_" and "$", starting with a letter; at most 31 bytes,
// Firebird 3's limit. Unquoted identifiers are stored in upper case.
bool plainIdentifier(const std::string& name)
{
    return !name.empty() && name.size() <= 31 && std::isalpha(static_cast<unsigned char>(name.front())) &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '$'; });
}

} // namespace

CFbSequence::CFbSequence(std::string name) : _name(std::move(name))
{
    if (!plainIdentifier(_name))
        throw CFbError::make(osk::CMessage("Cannot use the sequence name '%1'.").pushs(_name),
                             osk::CMessage("A sequence name has up to 31 letters, digits, '_' or '$' and starts "
                                           "with a letter."),
                             "CFbSequence::CFbSequence");
    std::transform(_name.begin(), _name.end(), _name.begin(), [](unsigned char c) { return std::toupper(c); });
}

void CFbSequence::create(CFbTransaction& transaction) const
{
    CFbStatement(transaction, "CREATE SEQUENCE " + _name).execute(transaction);
}

bool CFbSequence::exists(CFbTransaction& transaction) const
{
    CFbStatement query(transaction, "SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = ?");
    return query.select(transaction, {_name})->fetch();
}

int64_t CFbSequence::next(CFbTransaction& transaction) const
{
    CFbStatement query(transaction, "SELECT GEN_ID(" + _name + ", 1) FROM RDB$DATABASE");
    auto rows = query.select(transaction);
    rows->fetch();
    return rows->asInt64(0);
}

void CFbSequence::restart(CFbTransaction& transaction, int64_t value) const
{
    // GEN_ID with the difference to the current value keeps the new value a
    // parameter; ALTER SEQUENCE would need it in the SQL text.
    CFbStatement query(transaction, "SELECT GEN_ID(" + _name + ", CAST(? AS BIGINT) - GEN_ID(" + _name + ", 0)) FROM RDB$DATABASE");
    query.select(transaction, {value})->fetch();
}

} // namespace fbprov
