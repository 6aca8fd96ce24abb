// The value formatters of stored queries and the WHERE templates they fill.
// Every value either formats or throws osk::CException, and no value ever
// becomes SQL of its own: a formatted text has only doubled quotes, a bare
// number only number characters, and a filled template has the comments of
// its template and no literal left open.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "prst_generic/prst_format.h"
#include "prst_generic/prst_query_template.h"
#include "standard/string_map.h"
#include "support/fuzz_bytes.h"

namespace {

const char* const kTypes[] = {
    "access_id", "access_rights", "any",     "bool",   "boot_proto", "date",   "domain_group_id", "domain_id",
    "double",    "expression",    "float",   "hex_store", "integer", "ip",     "long",            "numeric",
    "object",    "short",         "string",  "time",   "time_stamp", "unsigned_long", "unsigned_short",
    "text_blob", "no_such_type",
};
const size_t kTypeCount = sizeof(kTypes) / sizeof(kTypes[0]);

const CPrstFormat& format()
{
    static const CPrstFormat formatter;
    return formatter;
}

std::string typeOf(uint8_t choice) { return kTypes[choice % kTypeCount]; }

// Every run of single quotes has an even length: each quote of the value was
// doubled.
bool quotesDoubled(const std::string& text)
{
    size_t run = 0;
    for (char c : text) {
        if (c == '\'') {
            ++run;
            continue;
        }
        if (run % 2 != 0) return false;
        run = 0;
    }
    return run % 2 == 0;
}

bool bareNumbers(const std::string& text)
{
    for (char c : text) {
        const bool numberChar = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' ||
                                c == 'E' || c == ',' || c == ' ' || c == '\t';
        if (!numberChar) return false;
    }
    return text.find("--") == std::string::npos;
}

// The SQL outside quoted texts and names: how many comments open there, and
// whether the text ends inside a quoted text, a name or a comment.
struct Lexed {
    size_t comments = 0;
    bool open = false;
    bool inLineComment = false;
};

Lexed lex(const std::string& sql)
{
    Lexed out;
    char closing = 0;  // the quote that ends the current quoted text or name
    bool line = false;
    bool block = false;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
        if (closing != 0) {
            if (c == closing) closing = 0;
        } else if (line) {
            line = c != '\n';
        } else if (block) {
            if (c == '*' && next == '/') {
                block = false;
                ++i;
            }
        } else if (c == '\'' || c == '"') {
            closing = c;
        } else if (c == '-' && next == '-') {
            line = true;
            ++out.comments;
            ++i;
        } else if (c == '/' && next == '*') {
            block = true;
            ++out.comments;
            ++i;
        }
    }
    out.open = closing != 0 || block;
    out.inLineComment = line;
    return out;
}

void formatOne(zelvo_fuzz::FuzzBytes& input)
{
    const std::string type = typeOf(input.byte());
    const std::string value = input.rest();
    std::string result;
    try {
        result = format().execute(value, type);
    } catch (const osk::CException&) {
        return;
    }
    if (!quotesDoubled(result)) __builtin_trap();
    if (!format().isQuoted(type) && !bareNumbers(result)) __builtin_trap();
}

void fillTemplate(zelvo_fuzz::FuzzBytes& input)
{
    std::vector<CPrstQueryTemplate::CArgument> arguments(input.byte() % 4);
    for (size_t i = 0; i < arguments.size(); ++i) arguments[i] = {"a" + std::to_string(i), typeOf(input.byte())};
    const std::string where = input.chunk();
    osk::CStringMap request;
    if (input.byte() % 2 == 0) {
        request.string_insert(CPrstQueryTemplate::argsKey, input.chunk());
    } else {
        for (const auto& argument : arguments) request.string_insert(argument.name, input.chunk());
    }
    std::string condition;
    try {
        condition = CPrstQueryTemplate(format(), where, arguments).fill(request);
    } catch (const osk::CException&) {
        return;
    }
    if (condition.empty()) return;
    if (condition.front() != '(' || condition.back() != ')') __builtin_trap();
    // A condition joined after this one must not land in a literal or a
    // comment.
    const Lexed filled = lex(condition);
    if (filled.open || filled.inLineComment || filled.comments != lex(where).comments) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    if (input.byte() % 2 == 0)
        formatOne(input);
    else
        fillTemplate(input);
    return 0;
}
