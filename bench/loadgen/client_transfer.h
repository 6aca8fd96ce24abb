// One client-side TFTP transfer (download or upload) as a state machine
// without sockets: it is fed datagrams and time-outs, and leaves the next
// datagram to send in `packet()`. Downloads are checked block by block
// against the source file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "source_set.h"
#include "tftp_wire.h"

namespace loadgen {

class CClientTransfer {
public:
    struct Settings {
        bool upload = false;
        bool optionBlksize = false;
        bool optionTsize = false;
        bool optionTimeout = false;
        size_t blksize = 512;          // asked for when optionBlksize
        unsigned timeoutSec = 1;       // asked for when optionTimeout
        size_t windowsize = 0;         // downloads: asked for when not 0
        unsigned maxRetries = 5;       // consecutive re-sends before giving up
    };
    // wait: the transfer advanced without anything to send (a block inside
    // a window); its retransmission timer starts again.
    enum class Step { none, send, wait, done, failed };

    CClientTransfer(const CSourceSet::File& file, std::string remoteName, const Settings& settings);

    // Builds the request. The request goes to the server's request port;
    // everything after it to the port the first reply came from.
    Step start();
    // One datagram from `fromPort` of the server.
    Step receive(const uint8_t* bytes, size_t length, uint16_t fromPort);
    // The retransmission timer ran out: re-send the last datagram, or fail
    // after too many consecutive re-sends.
    Step timeout();

    const std::vector<uint8_t>& packet() const { return _packet; }
    // 0 until the server's transfer port is known.
    uint16_t serverPort() const { return _serverPort; }
    bool finished() const { return _finished; }
    bool failed() const { return !_failure.empty(); }
    const std::string& failure() const { return _failure; }
    uint64_t retransmits() const { return _retransmits; }
    uint64_t bytesTransferred() const { return _offset; }
    size_t blksize() const { return _blksize; }
    const std::string& remoteName() const { return _remoteName; }
    const CSourceSet::File& file() const { return _file; }

private:
    Step _fail(const std::string& why);
    Step _acceptOack(const CTftpWire::Parsed& parsed);
    Step _onData(const CTftpWire::Parsed& parsed);
    Step _onAck(const CTftpWire::Parsed& parsed);
    Step _sendBlock();
    // Download: acknowledges _block once the window is complete.
    Step _acknowledgeWindow();

    const CSourceSet::File& _file;
    std::string _remoteName;
    Settings _settings;
    std::vector<uint8_t> _packet;
    uint16_t _serverPort = 0;
    bool _started = false;
    bool _finished = false;
    bool _blockSent = false;       // upload: at least DATA 1 went out
    bool _finalBlock = false;      // upload: the block in flight is the last
    std::string _failure;
    size_t _blksize = 512;
    size_t _windowsize = 1;        // blocks per acknowledgement in use
    size_t _windowBlocks = 0;      // download: blocks received since the last ACK
    bool _gapAcknowledged = false; // download: a block past a lost one was answered
    uint16_t _block = 0;           // last block received (download) or sent (upload)
    uint64_t _offset = 0;          // bytes received or acknowledged
    uint64_t _sentOffset = 0;      // upload: offset of the block in flight
    unsigned _retries = 0;
    uint64_t _retransmits = 0;
};

} // namespace loadgen
