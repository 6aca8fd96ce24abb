// A minimal in-process TFTP responder for measuring the load generator's own
// ceiling: one thread, one socket, answers read requests with the bytes of
// the source set and acknowledges uploads without storing them. It does
// nothing a real server must (no files, no policy), so a run against it
// shows how fast the client side alone can go.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "source_set.h"
#include "udp_endpoint.h"

namespace loadgen {

class CSelfTestResponder {
public:
    explicit CSelfTestResponder(const CSourceSet& sources);
    ~CSelfTestResponder();
    CSelfTestResponder(const CSelfTestResponder&) = delete;
    CSelfTestResponder& operator=(const CSelfTestResponder&) = delete;

    // Binds 127.0.0.1 on a free port and starts answering; throws
    // std::runtime_error when the socket cannot be made.
    void start();
    void stop();
    uint16_t port() const { return _port; }
    // The processor time its thread has used so far, in seconds; 0 when it
    // does not run. It answers each transfer with the fewest datagrams and
    // no work of a server's, so its time per transfer is the floor of a
    // server's.
    double cpuSeconds() const;

private:
    struct Transfer {
        const CSourceSet::File* file = nullptr;
        bool upload = false;
        size_t blksize = 512;
        uint16_t block = 0;     // last block sent or received
        uint64_t offset = 0;    // offset of the last block sent
        bool last = false;      // the last block sent was the final one
    };

    void _loop();
    void _handle(const uint8_t* bytes, size_t length, const CUdpEndpoint& from, uint64_t key);
    void _sendBlock(Transfer& transfer, const CUdpEndpoint& to);
    void _send(const CUdpEndpoint& to);

    const CSourceSet& _sources;
    int _fd = -1;
    uint16_t _port = 0;
    std::atomic<bool> _stop{false};
    std::thread _thread;
    pthread_t _native{};
    std::map<uint64_t, Transfer> _transfers;
    std::vector<uint8_t> _out;
};

} // namespace loadgen
