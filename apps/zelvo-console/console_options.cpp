#include "console_options.h"

#include "command_set_reader.h"
#include "extended/exception.h"
#include "standard/number_conversion.h"

using osk::CMessage;

namespace {
const char* const kModule = "zelvo-console";
const char* const kBadOptions = "Invalid command line.";
const char* const kUnknownOption = "Unknown option '%1'.";
const char* const kMissingValue = "The option '%1' needs a value.";
const char* const kBadNumber = "The value '%1' of '%2' is not a number from %3 to %4.";
const char* const kNoPort = "The console port is missing: give it with --port.";
const char* const kBothSources = "Give command sets either on the command line or with -f, not both.";
const char* const kTwoOutputs = "Choose one of --json and --raw.";
const char* const kUserWithClear =
    "A named account needs the enciphered login; --user cannot be combined with --clear.";
const char* const kLongUser = "The account name '%1' is longer than 248 characters.";

osk::CException optionError(const CMessage& why)
{
    return OSK_EXCEPTION(CMessage(kBadOptions), why, "CConsoleOptions::parse", kModule);
}

unsigned long number(const std::string& option, const std::string& text, unsigned long low, unsigned long high)
{
    // Digits alone: a sign, even "+", is refused as everywhere else.
    const auto refusal = [&] {
        return optionError(CMessage(kBadNumber).pushs(text).pushs(option).push(low).push(high));
    };
    uint64_t value = 0;
    try {
        value = osk::CNumberConversion(text).toUInt64();
    } catch (const osk::CException&) {
        throw refusal();
    }
    if (value < low || value > high) throw refusal();
    return static_cast<unsigned long>(value);
}
} // namespace

const char* const CConsoleOptions::usage =
    "Usage: zelvo-console --port PORT [options] [-c COMMAND-SET]... [COMMAND [KEY=VALUE]...]\n"
    "       zelvo-console --port PORT [options] -f FILE\n"
    "       zelvo-console --help | --version\n"
    "\n"
    "Connects to the remote console of zelvo-tftpd and runs command sets.\n"
    "\n"
    "Connection:\n"
    "  --host HOST           console address (default 127.0.0.1)\n"
    "  --port PORT           console TCP port (rconsole.port of the daemon)\n"
    "  --user NAME           log in as the named account NAME instead of the\n"
    "                        administrator\n"
    "  --protocol 0|1        login protocol version (default 1); version 0 keys\n"
    "                        the cipher with the first 7 password characters only\n"
    "  --clear               the daemon runs with rconsole.encryption=false: no\n"
    "                        login, nothing enciphered\n"
    "  --timeout SECONDS     longest wait for the connection and for each read\n"
    "                        (default 30)\n"
    "\n"
    "Password (not needed with --clear), first that applies:\n"
    "  --password-file FILE  the first line of FILE\n"
    "  ZELVO_CONSOLE_PASSWORD  the environment variable, when set\n"
    "  a prompt without echo when standard input is a terminal\n"
    "  otherwise a single space, the administrator's password while none is set\n"
    "\n"
    "Command sets: a command set is lines of KEY=VALUE, the first line's key\n"
    "being the command word (\"info\", \"help\", \"set_properties\" ...).\n"
    "  -c TEXT               run TEXT as one command set; its lines are separated\n"
    "                        by newlines or by ';' (write '\\;' for a ';' inside a\n"
    "                        value); repeat -c for several sets, run in order\n"
    "  COMMAND [KEY=VALUE]...  words after the options: one more command set,\n"
    "                        one line per word, run after the -c sets\n"
    "  -f FILE               run the command sets in FILE ('-' for standard input)\n"
    "Without any of these the sets come from standard input. In a file, sets are\n"
    "separated by blank lines; lines starting with '#' are comments; a set\n"
    "\"quit\", \"exit\" or \"bye\" ends the session. On a terminal the console is\n"
    "interactive: lines are edited and remembered, a blank line sends the set.\n"
    "\n"
    "Output:\n"
    "  (default)             each reply's lines; records are separated by blank\n"
    "                        lines, the objects of select commands form a\n"
    "                        table; a nak's message (and an ack's warning)\n"
    "                        goes to standard error\n"
    "  --raw                 replies exactly as the daemon sent them, code line\n"
    "                        and closing blank line included\n"
    "  --json                one JSON object per reply and line:\n"
    "                        {\"command\":..,\"code\":..,\"message\":..,\"lines\":[..]}\n"
    "                        and for select commands \"objects\":[{..},..]\n"
    "\n"
    "Exit status: 0 when every reply was ack, 1 when a reply was nak, 2 when the\n"
    "command line was wrong, or the connection or the login failed.\n";

void CConsoleOptions::parse(int argc, char** argv)
{
    bool json = false;
    bool raw = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw optionError(CMessage(kMissingValue).pushs(arg));
            return argv[++i];
        };
        if (arg == "--host") {
            _host = value();
        } else if (arg == "--port") {
            _port = static_cast<uint16_t>(number(arg, value(), 1, 65535));
        } else if (arg == "--user") {
            _user = value();
            if (_user.size() > 248) throw optionError(CMessage(kLongUser).pushs(_user));
        } else if (arg == "--protocol") {
            _protocol = static_cast<uint8_t>(number(arg, value(), 0, 1));
        } else if (arg == "--clear") {
            _encryption = false;
        } else if (arg == "--timeout") {
            _timeout = static_cast<int>(number(arg, value(), 1, 86400));
        } else if (arg == "--password-file") {
            _passwordFile = value();
        } else if (arg == "-c") {
            const std::vector<std::string> set = CCommandSetReader::splitInline(value());
            if (!set.empty()) _commands.push_back(set);
        } else if (arg == "-f") {
            _file = value();
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg == "--help" || arg == "-h") {
            _help = true;
        } else if (arg == "--version") {
            _version = true;
        } else if (words.empty() && !arg.empty() && arg[0] == '-') {
            throw optionError(CMessage(kUnknownOption).pushs(arg));
        } else {
            // From the first word on, everything is a line of the set.
            words.push_back(arg);
        }
    }
    if (!words.empty()) _commands.push_back(words);
    if (_help || _version) return;
    if (_port == 0) throw optionError(CMessage(kNoPort));
    if (!_commands.empty() && !_file.empty()) throw optionError(CMessage(kBothSources));
    if (json && raw) throw optionError(CMessage(kTwoOutputs));
    if (!_user.empty() && !_encryption) throw optionError(CMessage(kUserWithClear));
    _output = json ? outputJson : raw ? outputRaw : outputText;
}
