#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The command line of zelvo-console. parse() throws osk::CException with a
// message that names the offending option; the program prints it with the
// usage text.
class CConsoleOptions {
public:
    enum output_t { outputText, outputRaw, outputJson };

    static const char* const usage;

    void parse(int argc, char** argv);

    const std::string& host() const { return _host; }
    uint16_t port() const { return _port; }
    // Named account; empty for the administrator.
    const std::string& user() const { return _user; }
    uint8_t protocol() const { return _protocol; }
    bool encryption() const { return _encryption; }
    const std::string& passwordFile() const { return _passwordFile; }
    int timeout() const { return _timeout; }
    // The command sets of the command line, in order: each -c text cut into
    // lines, then the words after the options (one line each) as one more.
    const std::vector<std::vector<std::string>>& commands() const { return _commands; }
    // -f FILE; empty when command sets come from standard input.
    const std::string& file() const { return _file; }
    output_t output() const { return _output; }
    bool help() const { return _help; }
    bool version() const { return _version; }

private:
    std::string _host = "127.0.0.1";
    uint16_t _port = 0;
    std::string _user;
    uint8_t _protocol = 1;
    bool _encryption = true;
    std::string _passwordFile;
    int _timeout = 30;
    std::vector<std::vector<std::string>> _commands;
    std::string _file;
    output_t _output = outputText;
    bool _help = false;
    bool _version = false;
};
