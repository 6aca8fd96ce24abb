#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rconsole_base/rconsole_auth_protocol.h"
#include "rconsole_base/rconsole_reply_reader.h"
#include "security/blowfish.h"
#include "standard/sock_stream.h"

// The console's side of a connection, for console programs and tests:
// connect, answer the login challenge, read the greeting, then send command
// sets and read their replies. Failures are thrown as osk::CException.
class CRConsoleClient {
public:
    // Seconds a connect or a read may take.
    explicit CRConsoleClient(int timeoutSeconds = 30);

    void connect(const std::string& host, uint16_t port);
    // With encryption: answers the challenge under the password (one space
    // for an administrator without a stored password). Returns the greeting.
    std::string login(const std::string& password, bool encryption, uint8_t version = 1,
                      const std::string& account = std::string());
    // Sends the lines followed by the empty line; returns the whole reply.
    std::string command(const std::vector<std::string>& lines);
    // Sends raw command-set text (it must end with an empty line).
    std::string commandText(const std::string& text);
    // Called with the lines streamed ahead of a final reply, as they arrive.
    using streamed_t = std::function<void(const std::string& lines)>;
    // Like commandText, but the streamed lines (records, "-" separators,
    // listed words) go to onStreamed as they arrive and are not part of the
    // returned text, which is the rest of the reply from its code block on
    // (with any lines that arrived together with it).
    std::string commandText(const std::string& text, const streamed_t& onStreamed);
    // Sends "quit" and closes.
    void quit();
    void close() { _stream.close(); }
    bool encryption() const { return _encryption; }


private:
    std::string _read(bool withCode, const streamed_t* onStreamed = nullptr);
    void _send(const std::string& text);

    int _timeout;
    std::string _peer;
    osk::CSockStream _stream;
    osk::CBlowfish _cipher;
    bool _encryption = false;
    CRConsoleReplyReader _reader;
};
