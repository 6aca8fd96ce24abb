#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rconsole_base/rconsole_auth_protocol.h"
#include "security/blowfish.h"

// The two sides of the console login, shared by the service's connection
// handler and by console programs: building a challenge, answering it, and
// checking an answer.
class CRConsoleLogin {
public:
    static constexpr size_t blockLength = sizeof(rconsole_auth_protocol);
    // Highest login protocol version this code speaks.
    static constexpr uint8_t currentVersion = 1;

    // Password bytes used as cipher key: 7 for version 0, 75 from version 1.
    static size_t maxPasswordLength(uint8_t version);
    static size_t maxPasswordLength(const rconsole_auth_protocol* block);

    // A challenge: zero name area, version 0, flag 1, random bytes from the
    // system's random source at 256..1023.
    static void makeChallenge(rconsole_auth_protocol& challenge);

    // The console's answer: account name (cut at 248 characters), version,
    // and the challenge bytes enciphered under the leading password bytes.
    // cipher is keyed with that password and serves the connection afterwards.
    static void makeResponse(const rconsole_auth_protocol& challenge, const std::string& account, uint8_t version,
                             const std::string& password, osk::CBlowfish& cipher, rconsole_auth_protocol& response);

    // Keys cipher with the leading password bytes for the response's version.
    // An empty password cannot key the cipher and throws.
    static void keyCipher(const std::string& password, const rconsole_auth_protocol& response, osk::CBlowfish& cipher);

    // Deciphers the response's challenge bytes with cipher (already keyed)
    // and compares them with the challenge's in constant time.
    static bool verify(const rconsole_auth_protocol& challenge, const rconsole_auth_protocol& response,
                       osk::CBlowfish& cipher);

    // The account name of a response: at most 249 bytes, up to the first NUL.
    static std::string accountName(const rconsole_auth_protocol& response);

    // Equality of two byte ranges in time that depends only on the length.
    static bool constantTimeEqual(const uint8_t* left, const uint8_t* right, size_t length);
};
