#include "standard/base64.h"

#include <cstdint>

#include "extended/exception.h"

namespace {
const char* const kModule = "standard";
const char* const kEncodeWhat = "Cannot encode to base 64.";
const char* const kEncodeBlockWhy = "Invalid block size.";
const char* const kEncodeResultWhat = "Error encoding base 64.";
const char* const kEncodeResultWhy = "Invalid conversion result.";
const char* const kDecodeLengthWhat = "Cannot decode input '%1' from base 64.";
const char* const kDecodeLengthWhy = "Invalid length.";
const char* const kDecodeDataWhat = "Error decoding base 64.";
const char* const kDecodeDataWhy = "Invalid data.";

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kInvalid = -1;

// Reverse alphabet for 7-bit characters; "=" reads as zero bits.
struct CDecodeTable {
    int8_t value[128];
    CDecodeTable()
    {
        for (auto& entry : value) entry = kInvalid;
        for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
        value[static_cast<uint8_t>('=')] = 0;
    }
};
const CDecodeTable kDecode;
} // namespace

void CBase64::_encodeBlock(const uint8_t* in, size_t length, char* out)
{
    if (length < 1 || length > 3) {
        throw OSK_EXCEPTION(osk::CMessage(kEncodeWhat), osk::CMessage(kEncodeBlockWhy),
                            "CBase64::encode", kModule);
    }
    const uint32_t bits = (uint32_t(in[0]) << 16) | (length > 1 ? uint32_t(in[1]) << 8 : 0u) |
                          (length > 2 ? uint32_t(in[2]) : 0u);
    out[0] = kAlphabet[(bits >> 18) & 0x3F];
    out[1] = kAlphabet[(bits >> 12) & 0x3F];
    out[2] = length > 1 ? kAlphabet[(bits >> 6) & 0x3F] : '=';
    out[3] = length > 2 ? kAlphabet[bits & 0x3F] : '=';
}

std::string CBase64::encode(const osk::CHexStore& data)
{
    const size_t size = data.size();
    const size_t expected = (size + 2) / 3 * 4;
    std::string text(expected, '\0');
    size_t written = 0;
    for (size_t offset = 0; offset < size; offset += 3) {
        const size_t block = size - offset < 3 ? size - offset : 3;
        _encodeBlock(data.rawData() + offset, block, &text[written]);
        written += 4;
    }
    if (written != expected) {
        throw OSK_EXCEPTION(osk::CMessage(kEncodeResultWhat), osk::CMessage(kEncodeResultWhy),
                            "CBase64::encode", kModule);
    }
    return text;
}

osk::CHexStore CBase64::decode(const std::string& text)
{
    if (text.size() % 4 != 0) {
        throw OSK_EXCEPTION(osk::CMessage(kDecodeLengthWhat).pushs(text),
                            osk::CMessage(kDecodeLengthWhy), "CBase64::decode", kModule);
    }
    osk::CHexStore result(text.size() / 4 * 3);
    for (size_t offset = 0; offset < text.size(); offset += 4) {
        uint32_t bits = 0;
        for (size_t i = 0; i < 4; ++i) {
            const unsigned char character = static_cast<unsigned char>(text[offset + i]);
            const int8_t value = character < 128 ? kDecode.value[character] : kInvalid;
            if (value == kInvalid) {
                throw OSK_EXCEPTION(osk::CMessage(kDecodeDataWhat), osk::CMessage(kDecodeDataWhy),
                                    "CBase64::decode", kModule);
            }
            bits = (bits << 6) | static_cast<uint32_t>(value);
        }
        // A "=" in fourth place drops the last byte; in third place as well, two.
        size_t bytes = 3;
        if (text[offset + 3] == '=') bytes = text[offset + 2] == '=' ? 1 : 2;
        result.push_back(static_cast<uint8_t>(bits >> 16));
        if (bytes > 1) result.push_back(static_cast<uint8_t>(bits >> 8));
        if (bytes > 2) result.push_back(static_cast<uint8_t>(bits));
    }
    return result;
}
