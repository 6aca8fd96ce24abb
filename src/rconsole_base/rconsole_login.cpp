#include "rconsole_base/rconsole_login.h"

#include <algorithm>
#include <cstring>
#include <random>

size_t CRConsoleLogin::maxPasswordLength(uint8_t version) { return version == 0 ? 7 : 75; }

size_t CRConsoleLogin::maxPasswordLength(const rconsole_auth_protocol* block)
{
    return maxPasswordLength(block ? block->version : uint8_t(0));
}

void CRConsoleLogin::makeChallenge(rconsole_auth_protocol& challenge)
{
    // The challenge must not repeat between connections, or a recorded answer
    // could be replayed: the bytes come from the system's random source.
    std::random_device source;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&challenge);
    for (size_t i = 0; i < blockLength; i += 4) {
        const uint32_t word = source();
        for (size_t j = 0; j < 4 && i + j < blockLength; ++j) bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
    }
    std::memset(bytes, 0, offsetof(rconsole_auth_protocol, version));
    challenge.version = 0;
    challenge.flag = 1;
}

void CRConsoleLogin::keyCipher(const std::string& password, const rconsole_auth_protocol& response,
                               osk::CBlowfish& cipher)
{
    const size_t length = std::min(password.size(), maxPasswordLength(&response));
    cipher.init(password.data(), length);
}

void CRConsoleLogin::makeResponse(const rconsole_auth_protocol& challenge, const std::string& account,
                                  uint8_t version, const std::string& password, osk::CBlowfish& cipher,
                                  rconsole_auth_protocol& response)
{
    std::memset(&response, 0, sizeof(response));
    const size_t nameLength = std::min(account.size(), rconsole_auth_protocol::nameLength - 1);
    std::memcpy(response.name, account.data(), nameLength);
    response.version = version;
    keyCipher(password, response, cipher);
    std::memcpy(response.cipher, challenge.cipher, sizeof(response.cipher));
    cipher.encrypt(response.cipher, sizeof(response.cipher), osk::CBlowfish::modeCBC);
}

bool CRConsoleLogin::verify(const rconsole_auth_protocol& challenge, const rconsole_auth_protocol& response,
                            osk::CBlowfish& cipher)
{
    uint8_t deciphered[rconsole_auth_protocol::cipherLength];
    cipher.decrypt(response.cipher, deciphered, sizeof(deciphered), osk::CBlowfish::modeCBC);
    return constantTimeEqual(deciphered, challenge.cipher, sizeof(deciphered));
}

std::string CRConsoleLogin::accountName(const rconsole_auth_protocol& response)
{
    const char* name = reinterpret_cast<const char*>(response.name);
    const void* end = std::memchr(name, 0, rconsole_auth_protocol::nameLength);
    const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - name)
                              : rconsole_auth_protocol::nameLength;
    return std::string(name, length);
}

bool CRConsoleLogin::constantTimeEqual(const uint8_t* left, const uint8_t* right, size_t length)
{
    volatile uint8_t difference = 0;
    for (size_t i = 0; i < length; ++i) difference = static_cast<uint8_t>(difference | (left[i] ^ right[i]));
    return difference == 0;
}
