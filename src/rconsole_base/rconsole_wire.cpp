#include "rconsole_base/rconsole_wire.h"

#include <ace/Time_Value.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "extended/exception.h"

ssize_t CRConsoleWire::sendClear(osk::CSockStream& stream, const void* data, size_t length)
{
    try {
        stream.send_blocked(data, length);
    } catch (const osk::CException& e) {
        errno = e.err_code() != 0 ? e.err_code() : EIO;
        return -1;
    }
    return static_cast<ssize_t>(length);
}

ssize_t CRConsoleWire::recvClear(osk::CSockStream& stream, void* buffer, size_t length,
                                 const ACE_Time_Value* timeout)
{
    std::memset(buffer, 0, length);
    return stream.recv(buffer, length, timeout);
}

ssize_t CRConsoleWire::sendEncrypted(osk::CSockStream& stream, osk::CBlowfish& cipher, const void* data,
                                     size_t length)
{
    size_t padded = (length + blockSize - 1) / blockSize * blockSize;
    if (padded == 0) padded = blockSize;
    std::vector<uint8_t> blocks(padded, 0);
    if (length) std::memcpy(blocks.data(), data, length);
    for (size_t offset = 0; offset < padded; offset += blockSize)
        cipher.encrypt(blocks.data() + offset, blockSize, osk::CBlowfish::modeCBC);
    return sendClear(stream, blocks.data(), padded);
}

ssize_t CRConsoleWire::recvDeciphered(osk::CSockStream& stream, osk::CBlowfish& cipher, void* buffer, size_t length,
                                      const ACE_Time_Value* timeout)
{
    if (length == 0 || length % blockSize != 0) {
        errno = EINVAL;
        return -1;
    }
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    ssize_t received = stream.recv(bytes, length, timeout);
    if (received <= 0) return received;
    size_t total = static_cast<size_t>(received);
    while (total % blockSize != 0) {
        // The rest of a block is owed; a peer that never sends it must not
        // hold this thread for ever.
        const ACE_Time_Value limit(blockCompletionSeconds);
        received = stream.recv(bytes + total, blockSize - total % blockSize, timeout ? timeout : &limit);
        if (received == 0) {
            errno = ECONNRESET;
            return -1;
        }
        if (received < 0) {
            if (errno == ETIME || errno == EWOULDBLOCK) errno = ECONNABORTED;
            return -1;
        }
        total += static_cast<size_t>(received);
    }
    for (size_t offset = 0; offset < total; offset += blockSize)
        cipher.decrypt(bytes + offset, blockSize, osk::CBlowfish::modeCBC);
    return static_cast<ssize_t>(total);
}

ssize_t CRConsoleWire::recvExactly(osk::CSockStream& stream, void* buffer, size_t length,
                                   const ACE_Time_Value* timeout)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    size_t total = 0;
    while (total < length) {
        const ssize_t received = stream.recv(bytes + total, length - total, timeout);
        if (received == 0) {
            errno = ECONNRESET;
            return -1;
        }
        if (received < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        total += static_cast<size_t>(received);
    }
    return static_cast<ssize_t>(total);
}
