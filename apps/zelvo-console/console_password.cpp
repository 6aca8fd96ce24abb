#include "console_password.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "console_options.h"
#include "extended/exception.h"

using osk::CMessage;

namespace {
const char* const kModule = "zelvo-console";
const char* const kPrompt = "Password: ";
const char* const kCannotRead = "Cannot read the password file '%1'.";
const char* const kDefaultPassword = " ";

std::string chomp(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}
} // namespace

const char* const CConsolePassword::variable = "ZELVO_CONSOLE_PASSWORD";

std::string CConsolePassword::obtain(const CConsoleOptions& options)
{
    std::string password;
    if (!options.passwordFile().empty()) {
        std::ifstream file(options.passwordFile());
        const int error = errno;
        if (!file) {
            throw osk::CException(CMessage(kCannotRead).pushs(options.passwordFile()),
                                  CMessage(std::strerror(error)), "CConsolePassword::obtain", kModule, __FILE__,
                                  __LINE__, osk::CException::error, error);
        }
        std::getline(file, password);
        password = chomp(password);
    } else if (const char* fromEnvironment = std::getenv(variable)) {
        password = fromEnvironment;
    } else if (::isatty(STDIN_FILENO)) {
        password = prompt(STDIN_FILENO, kPrompt);
    }
    return password.empty() ? kDefaultPassword : password;
}

std::string CConsolePassword::prompt(int fd, const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    termios saved;
    const bool terminal = ::tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
        quiet.c_lflag |= ICANON;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c;
    while (true) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') break;
        line += c;
    }
    if (terminal) ::tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return chomp(line);
}
