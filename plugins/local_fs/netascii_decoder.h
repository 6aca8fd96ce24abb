#pragma once

#include <cstddef>

namespace localfs {

// Converts netascii received in an upload back to file contents: CR LF
// becomes LF and CR NUL becomes CR. It works block by block: a CR that ends
// one block is held until the next block shows what follows it. Input that
// breaks the netascii rules is kept rather than refused: a bare LF stays LF
// and a CR followed by anything else stays CR.
class CNetasciiDecoder {
public:
    // Converts in[0..inLen) into out, which must have room for
    // maxDecodedSize(inLen) bytes. Returns the number of bytes written.
    size_t decode(const char* in, size_t inLen, char* out);
    // End of the upload: writes a held CR (out needs room for one byte).
    // Returns the number of bytes written, 0 or 1.
    size_t finish(char* out);
    // A CR from the end of the last block is held.
    bool pending() const { return _heldCR; }
    void reset() { _heldCR = false; }

    // Room that decode() may need for inLen input bytes: one more than the
    // input for a CR held from the previous block.
    static size_t maxDecodedSize(size_t inLen) { return inLen + 1; }

private:
    bool _heldCR = false;
};

} // namespace localfs
