#include "rconsole_base/rconsole_client.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/Time_Value.h>

#include <cerrno>
#include <cstring>

#include "extended/exception.h"
#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_wire.h"

namespace {
const char* const kModule = "rconsole_base";
const char* const kCannotConnect = "Cannot connect to the console at '%1'.";
const char* const kLoginRefused = "The console at '%1' refused the login.";
const char* const kConnectionLost = "The connection to the console at '%1' was lost.";
const char* const kNoReply = "The console sent no complete reply.";
const char* const kRefusalStart = "code=nak\nmessage=";

osk::CException failure(const char* what, const std::string& peer, int err, const char* context)
{
    return osk::CException(osk::CMessage(what).pushs(peer), osk::CMessage(err ? std::strerror(err) : kNoReply),
                           context, kModule, __FILE__, __LINE__, osk::CException::error, err);
}
} // namespace

CRConsoleClient::CRConsoleClient(int timeoutSeconds) : _timeout(timeoutSeconds) {}

void CRConsoleClient::connect(const std::string& host, uint16_t port)
{
    _peer = host + ":" + std::to_string(port);
    ACE_INET_Addr address;
    if (address.set(port, host.c_str()) != 0) throw failure(kCannotConnect, _peer, errno, "CRConsoleClient::connect");
    ACE_SOCK_Connector connector;
    const ACE_Time_Value limit(_timeout);
    if (connector.connect(_stream.ace_stream(), address, &limit) != 0)
        throw failure(kCannotConnect, _peer, errno, "CRConsoleClient::connect");
    // Without it a command set sent in several writes waits for the
    // daemon's delayed acknowledgement; a failure only costs that time.
    osk::CSockStream::sendAtOnce(_stream.get_handle());
}

std::string CRConsoleClient::login(const std::string& password, bool encryption, uint8_t version,
                                   const std::string& account)
{
    if (encryption) {
        rconsole_auth_protocol challenge;
        const ACE_Time_Value limit(_timeout);
        if (CRConsoleWire::recvExactly(_stream, &challenge, sizeof(challenge), &limit) < 0)
            throw failure(kLoginRefused, _peer, errno, "CRConsoleClient::login");
        rconsole_auth_protocol response;
        CRConsoleLogin::makeResponse(challenge, account, version, password.empty() ? " " : password, _cipher,
                                     response);
        if (CRConsoleWire::sendClear(_stream, &response, sizeof(response)) < 0)
            throw failure(kLoginRefused, _peer, errno, "CRConsoleClient::login");
        _encryption = true;
    }
    std::string greeting;
    try {
        greeting = _read(false);
    } catch (const osk::CException& e) {
        throw failure(kLoginRefused, _peer, e.err_code(), "CRConsoleClient::login");
    }
    // A service with no room for another console answers the login with a
    // refusal in place of the greeting.
    if (greeting.compare(0, std::strlen(kRefusalStart), kRefusalStart) == 0) {
        std::string reason = greeting.substr(std::strlen(kRefusalStart));
        while (!reason.empty() && reason.back() == '\n') reason.pop_back();
        throw osk::CException(osk::CMessage(kLoginRefused).pushs(_peer), osk::CMessage(reason),
                              "CRConsoleClient::login", kModule, __FILE__, __LINE__, osk::CException::error, 0);
    }
    return greeting;
}

std::string CRConsoleClient::command(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return commandText(text + "\n");
}

std::string CRConsoleClient::commandText(const std::string& text)
{
    _send(text);
    return _read(true);
}

std::string CRConsoleClient::commandText(const std::string& text, const streamed_t& onStreamed)
{
    _send(text);
    return _read(true, &onStreamed);
}

void CRConsoleClient::quit()
{
    if (!_stream.isOpen()) return;
    try {
        _send("quit\n\n");
    } catch (const osk::CException&) {
        // Leaving anyway.
    }
    _stream.close();
}

void CRConsoleClient::_send(const std::string& text)
{
    const ssize_t sent = _encryption ? CRConsoleWire::sendEncrypted(_stream, _cipher, text.data(), text.size())
                                     : CRConsoleWire::sendClear(_stream, text.data(), text.size());
    if (sent < 0) throw failure(kConnectionLost, _peer, errno, "CRConsoleClient::_send");
}

std::string CRConsoleClient::_read(bool withCode, const streamed_t* onStreamed)
{
    std::string reply;
    std::vector<char> buffer(16384);
    while (!_reader.next(reply, withCode)) {
        const ACE_Time_Value limit(_timeout);
        const ssize_t received =
            _encryption ? CRConsoleWire::recvDeciphered(_stream, _cipher, buffer.data(), buffer.size(), &limit)
                        : CRConsoleWire::recvClear(_stream, buffer.data(), buffer.size(), &limit);
        if (received <= 0) throw failure(kConnectionLost, _peer, received < 0 ? errno : 0, "CRConsoleClient::_read");
        _reader.append(buffer.data(), static_cast<size_t>(received));
        if (onStreamed && *onStreamed) {
            const std::string lines = _reader.takeStreamed();
            if (!lines.empty()) (*onStreamed)(lines);
        }
    }
    return reply;
}
