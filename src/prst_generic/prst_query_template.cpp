#include "prst_generic/prst_query_template.h"

#include <utility>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace {

// User-visible texts of the query templates.
const char* const kInvalidTemplate = "Invalid query template '%1'.";
const char* const kUnclosedQuote = "A quoted text or name is not closed.";
const char* const kUnclosedComment = "A comment is not closed.";
const char* const kPlaceholderCount = "The template has %1 placeholders for %2 arguments.";
const char* const kCannotFill = "Cannot fill query template.";
const char* const kMissingArgument = "Missing argument '%1'.";
const char* const kTooManyArguments = "Too many arguments: %1 given, %2 expected.";
const char* const kNulInValue = "The value of argument '%1' contains a NUL character.";
const char* const kModule = "prst_generic";

std::string joined(const std::vector<std::string>& items, const char* before, const char* after)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ',';
        out += before + items[i] + after;
    }
    return out;
}

} // namespace

CPrstQueryTemplate::CPrstQueryTemplate(const CPrstFormat& format, const std::string& whereTemplate,
                                       std::vector<CArgument> arguments)
    : _format(format), _arguments(std::move(arguments))
{
    for (const CArgument& argument : _arguments) _format.validateType(argument.type);
    _parse(whereTemplate);
    if (placeholderCount() != _arguments.size()) {
        throw OSK_EXCEPTION(osk::CMessage(kInvalidTemplate).pushs(whereTemplate),
                            osk::CMessage(kPlaceholderCount).push(placeholderCount()).push(_arguments.size()),
                            "CPrstQueryTemplate::CPrstQueryTemplate", kModule);
    }
}

void CPrstQueryTemplate::_parse(const std::string& whereTemplate)
{
    enum { sql, quotedText, quotedName, lineComment, blockComment } state = sql;
    std::string piece;
    for (size_t i = 0; i < whereTemplate.size(); ++i) {
        const char c = whereTemplate[i];
        const char next = i + 1 < whereTemplate.size() ? whereTemplate[i + 1] : '\0';
        switch (state) {
        case sql:
            if (c == '?') {
                _pieces.push_back(piece);
                piece.clear();
                continue;
            }
            if (c == '\'') state = quotedText;
            else if (c == '"') state = quotedName;
            else if (c == '-' && next == '-') state = lineComment;
            else if (c == '/' && next == '*') state = blockComment;
            // The second character of "--" or "/*" must not also count
            // as the first of "*/".
            if (state == lineComment || state == blockComment) {
                piece += c;
                piece += next;
                ++i;
                continue;
            }
            break;
        // A doubled quote inside a quoted text or name leaves and enters it
        // again at once.
        case quotedText:
            if (c == '\'') state = sql;
            break;
        case quotedName:
            if (c == '"') state = sql;
            break;
        case lineComment:
            if (c == '\n') state = sql;
            break;
        case blockComment:
            if (c == '*' && next == '/') {
                piece += "*/";
                ++i;
                state = sql;
                continue;
            }
            break;
        }
        piece += c;
    }
    _pieces.push_back(piece);
    if (state == quotedText || state == quotedName || state == blockComment) {
        throw OSK_EXCEPTION(osk::CMessage(kInvalidTemplate).pushs(whereTemplate),
                            osk::CMessage(state == blockComment ? kUnclosedComment : kUnclosedQuote),
                            "CPrstQueryTemplate::_parse", kModule);
    }
    _endsInLineComment = state == lineComment;
}

std::vector<std::string> CPrstQueryTemplate::_values(const osk::CStringMap& request) const
{
    std::vector<std::string> values;
    const auto positional = request.find(argsKey);
    if (positional != request.end()) {
        if (!osk::CStringUtil::trim(positional->second).empty()) {
            values = osk::CStringUtil::split(positional->second, ",", osk::CStringUtil::blanks,
                                             osk::CStringUtil::keepEmpty);
        }
        if (values.size() > _arguments.size()) {
            throw OSK_EXCEPTION(osk::CMessage(kCannotFill),
                                osk::CMessage(kTooManyArguments).push(values.size()).push(_arguments.size()),
                                "CPrstQueryTemplate::fill", kModule);
        }
    }
    for (size_t i = values.size(); i < _arguments.size(); ++i) {
        const auto named = positional == request.end() ? request.find(_arguments[i].name) : request.end();
        if (named == request.end()) {
            throw OSK_EXCEPTION(osk::CMessage(kCannotFill), osk::CMessage(kMissingArgument).pushs(_arguments[i].name),
                                "CPrstQueryTemplate::fill", kModule);
        }
        values.push_back(named->second);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i].find('\0') != std::string::npos) {
            throw OSK_EXCEPTION(osk::CMessage(kCannotFill), osk::CMessage(kNulInValue).pushs(_arguments[i].name),
                                "CPrstQueryTemplate::fill", kModule);
        }
    }
    return values;
}

std::string CPrstQueryTemplate::_sqlText(const CArgument& argument, const std::string& value) const
{
    const std::vector<std::string> items = _format.executeItems(value, argument.type);
    return _format.isQuoted(argument.type) ? joined(items, "'", "'") : joined(items, "", "");
}

std::string CPrstQueryTemplate::fill(const osk::CStringMap& request) const
{
    const std::vector<std::string> values = _values(request);
    std::string condition = _pieces[0];
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string text = _sqlText(_arguments[i], values[i]);
        // A negative number after a minus sign would open a line comment.
        if (!condition.empty() && condition.back() == '-') condition += ' ';
        condition += text;
        condition += _pieces[i + 1];
    }
    if (osk::CStringUtil::trim(condition, osk::CStringUtil::whitespace).empty()) return std::string();
    if (_endsInLineComment) condition += '\n';
    return "(" + condition + ")";
}
