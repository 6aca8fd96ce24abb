// Command line of the load generator.
#pragma once

#include <string>
#include <vector>

#include "client_transfer.h"

namespace loadgen {

class CLoadConfig {
public:
    std::string host = "127.0.0.1";
    unsigned short port = 69;
    std::string sourceDir;
    std::vector<std::string> files;    // empty: every file of sourceDir
    size_t transfers = 100;
    size_t concurrency = 10;
    unsigned threads = 1;              // runners, each on a thread of its own
    CClientTransfer::Settings transfer;
    unsigned timeoutMs = 1000;         // client retransmission timer
    std::string uploadPrefix = "loadgen-upload-";
    std::string verifyDir;             // uploads: the server's root, checked after the run
    bool json = false;
    bool selfTest = false;
    size_t syntheticSize = 1024;       // self-test without a source directory
    size_t floorRounds = 0;            // ping-pong mode when not zero
    double timeLimitSec = 600;
    bool help = false;

    // Throws std::invalid_argument with a message naming the bad argument.
    static CLoadConfig parse(int argc, const char* const* argv);
    static const char* usage();
};

} // namespace loadgen
