#include "command_set_reader.h"

#include "standard/string_util.h"

namespace {
const char kComment = '#';
const char kSeparator = ';';
const char kEscape = '\\';
const char* const kQuitWords[] = {"quit", "exit", "bye"};

void addInline(std::vector<std::string>& lines, const std::string& piece)
{
    const std::string line = osk::CStringUtil::trimRight(osk::CStringUtil::trimLeft(piece), "\r");
    if (!line.empty()) lines.push_back(line);
}
} // namespace

bool CCommandSetReader::feed(std::string line)
{
    line = osk::CStringUtil::trimRight(line, "\r");
    if (line.empty()) return !_lines.empty();
    if (line[0] == kComment) return false;
    _lines.push_back(line);
    return false;
}

bool CCommandSetReader::finish() { return !_lines.empty(); }

std::vector<std::string> CCommandSetReader::take()
{
    std::vector<std::string> set;
    set.swap(_lines);
    return set;
}

std::vector<std::string> CCommandSetReader::splitInline(const std::string& text)
{
    std::vector<std::string> lines;
    std::string piece;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == kEscape && i + 1 < text.size() && text[i + 1] == kSeparator) {
            piece += kSeparator;
            ++i;
        } else if (c == kSeparator || c == '\n') {
            addInline(lines, piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    addInline(lines, piece);
    return lines;
}

bool CCommandSetReader::isQuit(const std::vector<std::string>& set)
{
    if (set.empty()) return false;
    for (const char* word : kQuitWords)
        if (set.front() == word) return true;
    return false;
}
