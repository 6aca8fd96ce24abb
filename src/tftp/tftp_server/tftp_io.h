#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/uio.h>
#include <string>
#include <vector>

#include "standard/endpoint.h"
#include "standard/file_offset.h"
#include "standard/send_queue.h"
#include "standard/sock_dgram.h"
#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_interfaces/tftp_error_code.h"

namespace osk {
class CMasterController;
}
class CTFTPPacket;

// Builds the engine's outgoing packets in the shared packet buffer and sends
// them: acknowledgements, OACKs and data blocks to a transfer's client, error
// packets to any endpoint. Sends are blocking datagram sends; during a burst
// (CBurst) those on the burst's socket are queued and go out together.
class CTFTPIO {
public:
    // While one exists, the datagrams for its socket are queued, and they go
    // out together when it ends (or when flushQueued() is called): a burst
    // of answers costs one system call instead of one per answer, and a
    // client waiting on this machine is woken once for the burst rather than
    // once per datagram. Sends to other sockets go out at once; a window of
    // data blocks goes out at once, after what is queued. Datagrams that
    // fail to go out are logged. Nested bursts of the same socket are one.
    class CBurst {
    public:
        CBurst(CTFTPIO& io, osk::CSockDgram& sock);
        ~CBurst();
        CBurst(const CBurst&) = delete;
        CBurst& operator=(const CBurst&) = delete;

    private:
        CTFTPIO& _io;
        bool _outermost;
    };

    // Logged (at error) for a datagram that did not go out; %1 is the client.
    static constexpr const char* sendFailed = "Failed to send to client on %1.";

    CTFTPIO(osk::CMasterController* controller, CTFTPPacket* packet);

    osk::CMasterController* controller() const { return _controller; }
    CTFTPPacket* packet() const { return _packet; }
    void packet(CTFTPPacket* p) { _packet = p; }

    // Each returns true when the datagram went out whole.
    bool sendAck(osk::CSockDgram& sock, CState& state);
    bool sendOack(osk::CSockDgram& sock, CState& state);
    // Reads data block `block` from `offset` through the transfer's
    // descriptor manager and sends it; sets state.eof when the block is
    // shorter than state.blksize. A failed send leaves eof alone. Exceptions
    // of the manager pass through.
    bool sendData(osk::CSockDgram& sock, CState& state, uint16_t block, osk::CFileOffset offset);
    // Reads up to `count` data blocks from `offset` in one read and sends
    // them, numbered from `block`, in as few system calls as the socket
    // allows; the first block shorter than state.blksize is the last one
    // sent and sets state.eof. Returns the number of blocks sent.
    // Exceptions of the manager pass through.
    uint64_t sendBlocks(osk::CSockDgram& sock, CState& state, uint16_t block, osk::CFileOffset offset,
                        uint64_t count);
    bool sendError(osk::CSockDgram& sock, const osk::CEndpoint& to, CTFTPErrorCode code, const char* text);
    bool sendError(osk::CSockDgram& sock, const osk::CEndpoint& to, CTFTPErrorCode code, const std::string& text);

    // A received client endpoint in its canonical form: an IPv4 address
    // mapped into IPv6 becomes the IPv4 address, so a client is the same key
    // whichever socket it reached.
    static osk::CEndpoint canonical(const osk::CEndpoint& endpoint);
    // The endpoint in the form sock can send to (IPv4 mapped into IPv6 on an
    // IPv6 socket).
    static osk::CEndpoint forSocket(const osk::CSockDgram& sock, const osk::CEndpoint& endpoint);

    // Sends raw bytes (a query answer, for instance).
    bool sendRaw(osk::CSockDgram& sock, const osk::CEndpoint& to, const void* data, size_t length);

    // Whether outgoing OACK and error packets are logged (the log takes
    // verbose output).
    bool verbose() const { return _verbose; }
    void verbose(bool on) { _verbose = on; }
    // Payload bytes of the data blocks the last sendData() or sendBlocks()
    // sent.
    size_t lastPayload() const { return _lastPayload; }

    // Logs the bytes at the verbose level (32) as hexadecimal text.
    void _logOutput(const unsigned char* bytes, size_t length);
    // Sends what the current burst has queued (before the engine waits for
    // answers to it).
    void flushQueued();

private:
    bool _send(osk::CSockDgram& sock, const osk::CEndpoint& to, size_t length);

    osk::CMasterController* _controller;
    CTFTPPacket* _packet;
    // sendBlocks' buffers: the blocks' bytes, their headers and the parts of
    // each datagram. They grow to the largest window sent and are kept.
    std::vector<char> _blocks;
    std::vector<unsigned char> _headers;
    std::vector<iovec> _parts;
    bool _verbose = false;
    size_t _lastPayload = 0;
    // The socket of the burst under way (null outside one) and its queue.
    osk::CSockDgram* _burstSock = nullptr;
    osk::CSendQueue _queue;
};
