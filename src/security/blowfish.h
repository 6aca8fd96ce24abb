#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/hex_store.h"

namespace osk {

// The Blowfish block cipher as published by its designer: 16 rounds, P-array
// and S-boxes initialised from the hexadecimal digits of pi, 64-bit blocks
// read as two big-endian 32-bit words.
//
// Buffers are enciphered in CBC (mode 1) or 64-bit CFB (mode 2); any other
// mode leaves the data unchanged. Every call starts from the initial vector
// (all zero bits), so each buffer is enciphered independently of the others.
class CBlowfish {
public:
    enum mode_t { modeNone = 0, modeCBC = 1, modeCFB = 2 };

    // Number of key bytes used by the key schedule; longer keys are cut.
    static constexpr size_t maxKeyLength = 56;
    // Size of the keys written by create_key_file.
    static constexpr size_t keyFileLength = 1024;

    CBlowfish();
    ~CBlowfish();
    CBlowfish(const CBlowfish&) = default;
    CBlowfish& operator=(const CBlowfish&) = default;

    // Key schedule over the first 56 bytes of the key, taken cyclically.
    // Throws osk::CException for an empty key.
    void init(const void* key, size_t length);
    void init(const CHexStore& key);

    // In place; `length` must be a non-zero multiple of 8.
    void encrypt(void* buffer, size_t length, int mode = modeCBC);
    void decrypt(void* buffer, size_t length, int mode = modeCBC);
    // From `in` to `out` (which may be the same buffer).
    void encrypt(const void* in, void* out, size_t length, int mode);
    void decrypt(const void* in, void* out, size_t length, int mode);

    // Enciphers the text with its terminating NUL, zero-filled to a multiple
    // of 8 bytes, in CBC mode.
    void encrypt_string(const std::string& text, CHexStore& out);
    // Deciphers in CBC mode and takes the text up to the first NUL byte.
    void decrypt_string(const CHexStore& in, std::string& out);

    // Writes a new random key file unless directory/name already exists.
    // Returns whether a file was written; `key` receives the key written.
    static bool create_key_file(const std::string& directory, const std::string& name);
    static bool create_key_file(const std::string& directory, const std::string& name,
                                std::vector<uint8_t>& key);
    // Reads `length` key bytes from directory/name and calls init with them.
    void init_from_file(const std::string& directory, const std::string& name, size_t length);

private:
    void _encipher(uint32_t& left, uint32_t& right) const;
    void _decipher(uint32_t& left, uint32_t& right) const;
    uint32_t _f(uint32_t x) const;
    // Runs a mode over whole blocks; `what` names the failure for bad lengths.
    void _crypt(const uint8_t* in, uint8_t* out, size_t length, int mode, bool encrypting,
                const char* what, const char* context);

    uint32_t _p[18];
    uint32_t _s[4][256];
    uint64_t _iv = 0;
    uint64_t _chain = 0;
};

} // namespace osk
