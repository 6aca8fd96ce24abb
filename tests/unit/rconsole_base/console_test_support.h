#pragma once

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/Time_Value.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_reply_reader.h"
#include "rconsole_base/rconsole_wire.h"
#include "standard/sock_stream.h"
#include "unit/extended/test_controller.h"

namespace zelvo_test {

// A test controller whose type can be chosen and whose configuration lives
// in a private temporary directory (key file and configuration file).
class CConsoleTestController : public CTestController {
public:
    explicit CConsoleTestController(const std::string& type = "test") : _type(type)
    {
        char pattern[] = "/tmp/zelvo-console-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        _dir = made ? made : "/tmp";
        config()->fqpn(_dir + "/zelvo.conf");
        config()->set_string("rconsole.private_key_path", _dir);
        config()->set_string("rconsole.listen_on", "127.0.0.1:0");
    }
    ~CConsoleTestController() override
    {
        ::unlink((_dir + "/zelvo.conf").c_str());
        ::unlink((_dir + "/private_key.bin").c_str());
        ::rmdir(_dir.c_str());
    }
    std::string type() const override { return _type; }
    const std::string& dir() const { return _dir; }

    // Log entries are written on the handlers' threads, often after the
    // reply: waits up to five seconds for count entries holding text.
    size_t waitForLog(const std::string& text, size_t count = 1) const
    {
        for (int i = 0; i < 250 && countContaining(text) < count; ++i) ::usleep(20000);
        return countContaining(text);
    }

    uint16_t consolePort() const
    {
        std::string value;
        const std::string name = "query_rconsole_port";
        if (!getQueryResponse(name.data(), name.size(), value)) return 0;
        return static_cast<uint16_t>(std::strtoul(value.c_str(), nullptr, 10));
    }

private:
    std::string _type;
    std::string _dir;
};

// Threads of this process, from /proc.
inline size_t threadCount()
{
    size_t count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        ::closedir(dir);
    }
    return count;
}

// A console over a raw TCP socket: it can send arbitrary bytes and see the
// bytes on the wire, and it speaks the protocol through the library's own
// login, transport and reply classes.
class CRawConsole {
public:
    bool connect(uint16_t port)
    {
        ACE_SOCK_Connector connector;
        ACE_INET_Addr address(port, "127.0.0.1");
        ACE_Time_Value limit(5);
        if (connector.connect(_stream.ace_stream(), address, &limit) != 0) return false;
        return true;
    }

    osk::CSockStream& stream() { return _stream; }
    osk::CBlowfish& cipher() { return _cipher; }
    void encryption(bool on) { _encryption = on; }

    // Reads the challenge and answers it; false when the exchange failed.
    bool login(const std::string& password, uint8_t version = 1, const std::string& account = std::string())
    {
        if (!readChallenge()) return false;
        rconsole_auth_protocol response;
        CRConsoleLogin::makeResponse(_challenge, account, version, password, _cipher, response);
        _encryption = true;
        return sendRaw(&response, sizeof(response));
    }

    bool readChallenge()
    {
        const ACE_Time_Value limit(5);
        return CRConsoleWire::recvExactly(_stream, &_challenge, sizeof(_challenge), &limit) ==
               static_cast<ssize_t>(sizeof(_challenge));
    }
    const rconsole_auth_protocol& challenge() const { return _challenge; }

    bool sendRaw(const void* data, size_t length)
    {
        return CRConsoleWire::sendClear(_stream, data, length) == static_cast<ssize_t>(length);
    }
    bool sendRaw(const std::string& text) { return sendRaw(text.data(), text.size()); }

    // Sends text as the console would (enciphered after a login).
    bool send(const std::string& text)
    {
        const ssize_t sent = _encryption ? CRConsoleWire::sendEncrypted(_stream, _cipher, text.data(), text.size())
                                         : CRConsoleWire::sendClear(_stream, text.data(), text.size());
        return sent >= 0;
    }

    // Raw bytes as they arrive within the time limit (empty on time-out);
    // closed becomes true when the peer closed the connection.
    std::string recvRaw(double seconds, bool* closed = nullptr)
    {
        std::vector<char> buffer(65536);
        ACE_Time_Value limit;
        limit.set(seconds);
        const ssize_t received = _stream.recv(buffer.data(), buffer.size(), &limit);
        if (closed) *closed = received == 0;
        return received > 0 ? std::string(buffer.data(), static_cast<size_t>(received)) : std::string();
    }

    // Waits until the peer closes; false when data arrives or time runs out.
    bool waitClosed(double seconds = 5)
    {
        bool closed = false;
        const std::string data = recvRaw(seconds, &closed);
        return closed && data.empty();
    }

    // The next reply; empty on time-out or when the connection closed.
    std::string reply(bool withCode = true, double seconds = 10)
    {
        std::string out;
        while (!_reader.next(out, withCode)) {
            std::vector<char> buffer(CRConsoleWire::blockSize * 2048);
            ACE_Time_Value limit;
            limit.set(seconds);
            const ssize_t received =
                _encryption ? CRConsoleWire::recvDeciphered(_stream, _cipher, buffer.data(), buffer.size(), &limit)
                            : CRConsoleWire::recvClear(_stream, buffer.data(), buffer.size(), &limit);
            if (received <= 0) return std::string();
            _reader.append(buffer.data(), static_cast<size_t>(received));
        }
        return out;
    }

    std::string greeting(double seconds = 10) { return reply(false, seconds); }

    std::string command(const std::string& text)
    {
        if (!send(text)) return std::string();
        return reply(true);
    }

    void close() { _stream.close(); }

private:
    osk::CSockStream _stream;
    osk::CBlowfish _cipher;
    bool _encryption = false;
    rconsole_auth_protocol _challenge{};
    CRConsoleReplyReader _reader;
};

} // namespace zelvo_test
