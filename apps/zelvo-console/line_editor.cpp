#include "line_editor.h"

#include <editline/readline.h>

#include <cstdlib>

namespace {
const char* const kHistoryName = "/.zelvo_console_history";
const int kHistoryLength = 1000;
} // namespace

CLineEditor::CLineEditor()
{
    rl_readline_name = const_cast<char*>("zelvo-console");
    using_history();
    stifle_history(kHistoryLength);
    if (const char* home = std::getenv("HOME")) {
        _historyFile = std::string(home) + kHistoryName;
        read_history(_historyFile.c_str());
    }
}

CLineEditor::~CLineEditor()
{
    if (!_historyFile.empty()) write_history(_historyFile.c_str());
}

bool CLineEditor::read(const std::string& prompt, std::string& line)
{
    char* text = readline(prompt.c_str());
    if (!text) return false;
    line = text;
    std::free(text);
    // Blank lines end command sets; they are not worth remembering.
    if (!line.empty()) add_history(line.c_str());
    return true;
}
