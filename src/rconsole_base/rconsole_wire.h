#pragma once

#include <sys/types.h>

#include <cstddef>

#include "security/blowfish.h"
#include "standard/sock_stream.h"

class ACE_Time_Value;

// The byte transport of a console connection, in clear or enciphered, shared
// by the service's handler and console programs. Enciphered data travels in
// 8-byte blocks, each enciphered on its own with Blowfish under the login
// password; the last block is padded with NUL bytes.
//
// Every function returns the byte count, 0 when the peer closed before
// anything arrived, or -1 with errno set.
class CRConsoleWire {
public:
    static constexpr size_t blockSize = 8;
    // How long the rest of an enciphered block may take once its first bytes
    // arrived; a peer that stops in the middle of a block is dropped.
    static constexpr int blockCompletionSeconds = 15;

    // Sends everything, blocking.
    static ssize_t sendClear(osk::CSockStream& stream, const void* data, size_t length);
    // Zeroes the buffer and reads once.
    static ssize_t recvClear(osk::CSockStream& stream, void* buffer, size_t length, const ACE_Time_Value* timeout);
    // Pads to whole blocks (at least one), enciphers each block and sends.
    static ssize_t sendEncrypted(osk::CSockStream& stream, osk::CBlowfish& cipher, const void* data, size_t length);
    // Reads until whole blocks arrived and deciphers them in place. length
    // must be a multiple of 8.
    static ssize_t recvDeciphered(osk::CSockStream& stream, osk::CBlowfish& cipher, void* buffer, size_t length,
                                  const ACE_Time_Value* timeout);
    // Reads exactly length bytes in clear, each read limited by timeout;
    // -1 when the peer closes early or a read fails.
    static ssize_t recvExactly(osk::CSockStream& stream, void* buffer, size_t length, const ACE_Time_Value* timeout);
};
