#include "firebird_provider/fb_sql_script.h"

#include <algorithm>
#include <cctype>

#include "firebird_provider/fb_error.h"
#include "standard/string_util.h"

namespace fbprov {

namespace {

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// Collapses runs of blanks so that "COMMIT  WORK" and "SET   TERM" compare.
std::string normalized(const std::string& statement)
{
    std::string result;
    for (const std::string& word : osk::CStringUtil::split(statement, " \t\r\n", "")) {
        if (!result.empty())
            result += ' ';
        result += upper(word);
    }
    return result;
}

size_t lineOf(const std::string& text, size_t position)
{
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + position, '\n'));
}

} // namespace

std::vector<std::string> CFbSqlScript::split(const std::string& text, const std::string& name)
{
    std::vector<std::string> statements;
    std::string terminator = ";";
    std::string current;

    auto finish = [&]() {
        std::string statement = osk::CStringUtil::trim(current, osk::CStringUtil::whitespace);
        current.clear();
        std::string words = normalized(statement);
        if (words.rfind("SET TERM ", 0) == 0)
            terminator = osk::CStringUtil::trim(statement.substr(statement.find_last_of(" \t\r\n") + 1));
        else if (!statement.empty() && words != "COMMIT" && words != "COMMIT WORK")
            statements.push_back(statement);
    };
    auto unclosed = [&](const char* what, size_t start) {
        return CFbError::make(osk::CMessage("Cannot split the SQL script '%1'.").pushs(name),
                              osk::CMessage("The %1 that starts at line %2 is not closed.")
                                  .pushs(what)
                                  .push(lineOf(text, start)),
                              "CFbSqlScript::split");
    };

    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "--") == 0) {
            size_t end = text.find('\n', i);
            i = end == std::string::npos ? text.size() : end;
        } else if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos)
                throw unclosed("comment", i);
            current += ' ';
            i = end + 2;
        } else if (text[i] == '\'' || text[i] == '"') {
            // A doubled quote inside stands for the quote itself.
            const char quote = text[i];
            size_t end = i + 1;
            for (;;) {
                end = text.find(quote, end);
                if (end == std::string::npos)
                    throw unclosed(quote == '\'' ? "quoted text" : "quoted identifier", i);
                if (end + 1 < text.size() && text[end + 1] == quote)
                    end += 2;
                else
                    break;
            }
            current.append(text, i, end + 1 - i);
            i = end + 1;
        } else if (text.compare(i, terminator.size(), terminator) == 0) {
            finish();
            i += terminator.size();
        } else {
            current += text[i++];
        }
    }
    finish();
    return statements;
}

} // namespace fbprov
