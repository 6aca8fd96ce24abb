#pragma once

#include <cstddef>
#include <cstdint>

// The 1024-byte login block, exchanged in clear in both directions before
// any command. The service sends it as the challenge; the console answers
// with the same layout.
struct rconsole_auth_protocol {
    static constexpr size_t nameLength = 249;
    static constexpr size_t cipherOffset = 256;
    static constexpr size_t cipherLength = 768;

    // Response: account name, NUL-terminated; empty means the administrator.
    uint8_t name[nameLength];
    // Ignored; the service overwrites the first of them with NUL.
    uint8_t reserved[5];
    // Response: the console's login protocol version (0 or 1).
    uint8_t version;
    // Challenge: 1.
    uint8_t flag;
    // Challenge: random bytes. Response: those bytes enciphered under the
    // password (Blowfish CBC, all-zero initial vector).
    uint8_t cipher[cipherLength];
};

static_assert(sizeof(rconsole_auth_protocol) == 1024, "the login block is 1024 bytes");
static_assert(offsetof(rconsole_auth_protocol, version) == 254, "version byte at offset 254");
static_assert(offsetof(rconsole_auth_protocol, cipher) == rconsole_auth_protocol::cipherOffset,
              "challenge bytes at offset 256");
