// The 1024-byte login block on both sides of a console connection. As the
// service: a received answer (any bytes, cut or padded to the block's size)
// is checked against a fixed challenge under a stored password read from its
// enciphered text, and the enciphered command stream that follows is
// deciphered block by block. As a console: any challenge is answered.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "extended/exception.h"
#include "rconsole_base/rconsole_auth_protocol.h"
#include "rconsole_base/rconsole_command_reader.h"
#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_wire.h"
#include "security/blowfish.h"
#include "standard/hex_store.h"
#include "support/fuzz_bytes.h"

namespace {

rconsole_auth_protocol fixedChallenge()
{
    rconsole_auth_protocol challenge;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&challenge);
    for (size_t i = 0; i < sizeof(challenge); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
    std::memset(challenge.name, 0, sizeof(challenge.name));
    challenge.version = 0;
    challenge.flag = 1;
    return challenge;
}

// The stored password: hexadecimal text deciphered with the service's
// password key, as the handler reads it from the configuration.
std::string storedPassword(const std::string& text)
{
    osk::CBlowfish passwordCipher;
    passwordCipher.init("fuzz-password-key", 17);
    std::string plain;
    try {
        passwordCipher.decrypt_string(osk::CHexStore(text, "-"), plain);
    } catch (const osk::CException&) {
        return " ";
    }
    return plain.empty() ? std::string(" ") : plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const std::string block = input.chunk();
    const std::string passwordText = input.chunk();
    std::string stream = input.rest();

    rconsole_auth_protocol received;
    std::memset(&received, 0, sizeof(received));
    std::memcpy(&received, block.data(), std::min(block.size(), sizeof(received)));
    received.reserved[0] = 0;

    const rconsole_auth_protocol challenge = fixedChallenge();
    CRConsoleLogin::accountName(received);
    CRConsoleLogin::maxPasswordLength(&received);
    osk::CBlowfish streamCipher;
    try {
        CRConsoleLogin::keyCipher(storedPassword(passwordText), received, streamCipher);
    } catch (const osk::CException&) {
        return 0;
    }
    CRConsoleLogin::verify(challenge, received, streamCipher);

    // What follows the login arrives in whole 8-byte blocks.
    stream.resize(stream.size() - stream.size() % CRConsoleWire::blockSize);
    CRConsoleCommandReader commands;
    for (size_t at = 0; at < stream.size(); at += CRConsoleWire::blockSize) {
        streamCipher.decrypt(&stream[at], CRConsoleWire::blockSize, osk::CBlowfish::modeCBC);
        commands.append(&stream[at], CRConsoleWire::blockSize);
        if (commands.complete()) commands.reset();
    }

    // The console's side: the same block taken as the service's challenge.
    rconsole_auth_protocol response;
    osk::CBlowfish consoleCipher;
    try {
        CRConsoleLogin::makeResponse(received, "operator", CRConsoleLogin::currentVersion, passwordText,
                                     consoleCipher, response);
    } catch (const osk::CException&) {
        return 0;
    }
    if (!CRConsoleLogin::verify(received, response, consoleCipher)) __builtin_trap();
    return 0;
}
