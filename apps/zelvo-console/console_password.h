#pragma once

#include <string>

class CConsoleOptions;

// Where the console's login password comes from, first that applies: the
// first line of --password-file, the environment variable
// ZELVO_CONSOLE_PASSWORD, a prompt without echo when standard input is a
// terminal, else a single space (the administrator's password while none is
// stored). An empty answer is a single space as well: the cipher needs a key.
class CConsolePassword {
public:
    static const char* const variable;

    // Throws osk::CException when the password file cannot be read.
    static std::string obtain(const CConsoleOptions& options);
    // Reads one line from the terminal on fd with echo switched off.
    static std::string prompt(int fd, const std::string& text);
};
