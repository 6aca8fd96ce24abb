#pragma once

#include <ace/SOCK_Stream.h>

#include <sys/types.h>

#include <cstddef>

#include "standard/endpoint.h"

class ACE_Time_Value;

namespace osk {

// A TCP stream over ACE_SOCK_Stream. An acceptor or connector fills
// ace_stream(); send_blocked() then pushes whole buffers through it even
// when the socket is non-blocking.
class CSockStream {
public:
    CSockStream() = default;
    explicit CSockStream(ACE_HANDLE handle);
    ~CSockStream();
    CSockStream(const CSockStream&) = delete;
    CSockStream& operator=(const CSockStream&) = delete;

    ACE_SOCK_Stream& ace_stream() { return _stream; }
    ACE_HANDLE get_handle() const { return _stream.get_handle(); }
    void set_handle(ACE_HANDLE handle) { _stream.set_handle(handle); }
    bool isOpen() const { return _stream.get_handle() != ACE_INVALID_HANDLE; }
    void close();

    // Sends every write at once instead of holding a small one back until
    // the previous one is acknowledged (TCP_NODELAY). A console's reply is
    // many small writes that the peer reads without answering, so it would
    // otherwise wait for the peer's delayed acknowledgement, about 40 ms.
    // False with errno when the option cannot be set.
    static bool sendAtOnce(ACE_HANDLE handle);

    CEndpoint local_endpoint() const;
    CEndpoint remote_endpoint() const;

    // Sends the whole buffer; when the socket would block, waits for it to
    // become writable (at most blockedWaitSeconds each time). Throws
    // "Invalid handle." when the stream is not open and "Cannot transmit
    // buffer." on any failure.
    void send_blocked(const void* data, size_t length, int flags = 0);
    static constexpr int blockedWaitSeconds = 180;

    // Thin passes to ACE: byte count, 0 at end of stream, -1 with errno.
    ssize_t send(const void* data, size_t length, const ACE_Time_Value* timeout = nullptr);
    ssize_t recv(void* data, size_t length, const ACE_Time_Value* timeout = nullptr);
    ssize_t recv_n(void* data, size_t length, const ACE_Time_Value* timeout = nullptr);

private:
    ACE_SOCK_Stream _stream;
};

} // namespace osk
