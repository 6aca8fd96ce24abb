#pragma once

#include <string>
#include <vector>

#include "rconsole_base/rconsole_client.h"

class CConsoleOptions;
class CReplyPrinter;

// One console connection: logs in, runs command sets one after the other
// through the printer, and remembers whether any reply was nak. Connection
// and login failures are thrown as osk::CException.
class CConsoleSession {
public:
    enum exit_t { exitAck = 0, exitNak = 1, exitFailure = 2 };

    CConsoleSession(const CConsoleOptions& options, CReplyPrinter& printer);

    // Connects and logs in; returns the greeting.
    std::string open(const std::string& password);
    // Sends one command set and shows its reply; true when it was ack.
    bool run(const std::vector<std::string>& set);
    // Says "quit" and closes.
    void close();

    // exitAck, or exitNak once a reply was nak.
    exit_t status() const { return _status; }

private:
    const CConsoleOptions& _options;
    CReplyPrinter& _printer;
    CRConsoleClient _client;
    exit_t _status = exitAck;
};
