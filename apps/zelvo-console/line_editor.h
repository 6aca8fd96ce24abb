#pragma once

#include <string>

// Line editing and history for the interactive console, through libedit.
// History is kept in ~/.zelvo_console_history between sessions.
class CLineEditor {
public:
    CLineEditor();
    ~CLineEditor();
    CLineEditor(const CLineEditor&) = delete;
    CLineEditor& operator=(const CLineEditor&) = delete;

    // Shows prompt and reads one line; false at end of input (Ctrl-D).
    bool read(const std::string& prompt, std::string& line);

private:
    std::string _historyFile;
};
