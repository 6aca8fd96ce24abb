#pragma once

#include <string>

#include "standard/hex_store.h"

// Base64 with the standard alphabet ("A".."Z", "a".."z", "0".."9", "+", "/"),
// "=" padding and no line breaks.
class CBase64 {
public:
    // The Base64 text of the bytes of `data`.
    static std::string encode(const osk::CHexStore& data);
    // The bytes of a Base64 text. Throws osk::CException when the length is
    // not a multiple of 4 or a character is outside the alphabet and "=".
    static osk::CHexStore decode(const std::string& text);

private:
    // Encodes 1 to 3 bytes into four characters at `out`.
    static void _encodeBlock(const uint8_t* in, size_t length, char* out);
};
