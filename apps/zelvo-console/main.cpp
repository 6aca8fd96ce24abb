// zelvo-console: command-line console for the service's remote console.
//
//   zelvo-console --host H --port P [--password-file F] [--no-encryption]
//                 [--json] [--version-0] [COMMAND [KEY=VALUE...]]
//
// With a command on the command line, the arguments form one command set
// (one line each) and the program exits after its reply. Otherwise command
// sets are read from standard input, one line per argument and a blank line
// after each set; on a terminal a prompt is shown. The password comes from
// the first line of the password file, else from ZELVO_CONSOLE_PASSWORD,
// else it is the administrator's default (one space).
//
// Exit status: 0 when every reply was ack, 1 when one was nak, 2 when the
// connection or the login failed.

#include <ace/Init_ACE.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "rconsole_base/rconsole_client.h"
#include "rconsole_base/rconsole_reply_reader.h"

namespace {

const char* const kUsage =
    "usage: zelvo-console --host HOST --port PORT [--password-file FILE] [--no-encryption] [--json]\n"
    "                     [--version-0] [COMMAND [KEY=VALUE...]]\n";
const char* const kPrompt = "zelvo> ";
const char* const kPasswordVariable = "ZELVO_CONSOLE_PASSWORD";

enum exit_t { exitAck = 0, exitNak = 1, exitFailure = 2 };

struct COptions {
    std::string host = "127.0.0.1";
    unsigned long port = 0;
    std::string passwordFile;
    bool encryption = true;
    bool json = false;
    uint8_t version = 1;
    std::vector<std::string> command;
};

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// {"code":"ack","message":"...","lines":["key=value",...]}
std::string jsonReply(const std::string& reply)
{
    std::string out = "{\"code\":" + jsonString(CRConsoleReplyReader::code(reply)) +
                      ",\"message\":" + jsonString(CRConsoleReplyReader::message(reply)) + ",\"lines\":[";
    const std::string body = CRConsoleReplyReader::body(reply);
    size_t start = 0;
    bool first = true;
    while (start < body.size()) {
        size_t lf = body.find('\n', start);
        if (lf == std::string::npos) lf = body.size();
        if (!first) out += ",";
        out += jsonString(body.substr(start, lf - start));
        first = false;
        start = lf + 1;
    }
    return out + "]}";
}

bool parse(int argc, char** argv, COptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--host") {
            if (!value(options.host)) return false;
        } else if (arg == "--port") {
            if (!value(text)) return false;
            char* end = nullptr;
            options.port = std::strtoul(text.c_str(), &end, 10);
            if (text.empty() || *end || options.port == 0 || options.port > 65535) return false;
        } else if (arg == "--password-file") {
            if (!value(options.passwordFile)) return false;
        } else if (arg == "--no-encryption") {
            options.encryption = false;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--version-0") {
            options.version = 0;
        } else if (arg == "--help" || arg == "-h") {
            return false;
        } else if (arg.compare(0, 2, "--") == 0 && options.command.empty()) {
            return false;
        } else {
            options.command.push_back(arg);
        }
    }
    return options.port != 0;
}

bool password(const COptions& options, std::string& out)
{
    if (!options.passwordFile.empty()) {
        std::ifstream file(options.passwordFile);
        if (!file) return false;
        std::getline(file, out);
        if (!out.empty() && out.back() == '\r') out.pop_back();
        return true;
    }
    const char* fromEnvironment = std::getenv(kPasswordVariable);
    out = fromEnvironment ? fromEnvironment : " ";
    return true;
}

void show(const std::string& reply, bool json)
{
    if (json) std::cout << jsonReply(reply) << std::endl;
    else std::cout << reply << std::flush;
}

int run(const COptions& options)
{
    std::string secret;
    if (!password(options, secret)) {
        std::cerr << "zelvo-console: cannot read the password file '" << options.passwordFile << "'.\n";
        return exitFailure;
    }
    CRConsoleClient client;
    try {
        client.connect(options.host, static_cast<uint16_t>(options.port));
        const std::string greeting = client.login(secret, options.encryption, options.version);
        const bool interactive = options.command.empty() && ::isatty(STDIN_FILENO);
        if (interactive) std::cout << greeting << std::flush;
    } catch (const osk::CException& e) {
        std::cerr << "zelvo-console: " << e.what() << "\n";
        return exitFailure;
    }

    int status = exitAck;
    auto execute = [&](const std::vector<std::string>& lines) {
        const std::string reply = client.command(lines);
        show(reply, options.json);
        if (CRConsoleReplyReader::code(reply) != "ack") status = exitNak;
    };
    try {
        if (!options.command.empty()) {
            execute(options.command);
        } else {
            const bool interactive = ::isatty(STDIN_FILENO);
            std::vector<std::string> lines;
            std::string line;
            if (interactive) std::cout << kPrompt << std::flush;
            while (std::getline(std::cin, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (!line.empty()) {
                    lines.push_back(line);
                    if (interactive) std::cout << "> " << std::flush;
                    continue;
                }
                if (!lines.empty()) {
                    if (lines.front() == "quit" || lines.front() == "exit" || lines.front() == "bye") break;
                    execute(lines);
                    lines.clear();
                }
                if (interactive) std::cout << kPrompt << std::flush;
            }
            if (!lines.empty() && lines.front() != "quit" && lines.front() != "exit" && lines.front() != "bye")
                execute(lines);
        }
        client.quit();
    } catch (const osk::CException& e) {
        std::cerr << "zelvo-console: " << e.what() << "\n";
        return exitFailure;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    COptions options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage;
        return exitFailure;
    }
    ACE::init();
    const int status = run(options);
    ACE::fini();
    return status;
}
