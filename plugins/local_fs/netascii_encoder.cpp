#include "local_fs/netascii_encoder.h"

namespace localfs {

size_t CNetasciiEncoder::encode(const char* in, size_t inLen, char* out, size_t outCap, size_t& consumed)
{
    size_t written = 0;
    consumed = 0;
    if (_hasCarry && written < outCap) {
        out[written++] = _carry;
        _hasCarry = false;
    }
    while (written < outCap && consumed < inLen) {
        const char c = in[consumed++];
        if (c != '\n' && c != '\r') {
            out[written++] = c;
            continue;
        }
        out[written++] = '\r';
        const char second = c == '\n' ? '\n' : '\0';
        if (written < outCap) {
            out[written++] = second;
        } else {
            _carry = second;
            _hasCarry = true;
        }
    }
    return written;
}

uint64_t CNetasciiEncoder::encodedSize(const char* data, size_t len)
{
    uint64_t size = len;
    for (size_t i = 0; i < len; ++i)
        if (data[i] == '\n' || data[i] == '\r') ++size;
    return size;
}

} // namespace localfs
