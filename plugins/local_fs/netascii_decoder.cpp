#include "local_fs/netascii_decoder.h"

namespace localfs {

size_t CNetasciiDecoder::decode(const char* in, size_t inLen, char* out)
{
    size_t written = 0;
    for (size_t i = 0; i < inLen; ++i) {
        const char c = in[i];
        if (_heldCR) {
            _heldCR = false;
            if (c == '\n') {
                out[written++] = '\n';
                continue;
            }
            out[written++] = '\r';
            if (c == '\0') continue;
        }
        if (c == '\r')
            _heldCR = true;
        else
            out[written++] = c;
    }
    return written;
}

size_t CNetasciiDecoder::finish(char* out)
{
    if (!_heldCR) return 0;
    _heldCR = false;
    out[0] = '\r';
    return 1;
}

} // namespace localfs
