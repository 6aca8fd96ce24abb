// Building and reading TFTP datagrams on the client side of the load
// generator (RFC 1350 with the option extension of RFC 2347).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace loadgen {

class CTftpWire {
public:
    enum opcode : uint16_t { rrq = 1, wrq = 2, data = 3, ack = 4, error = 5, oack = 6 };
    using Options = std::vector<std::pair<std::string, std::string>>;

    // One received datagram, decoded. `valid` is false for anything too short
    // or with an unknown opcode; `problem` then says why.
    struct Parsed {
        bool valid = false;
        uint16_t op = 0;
        uint16_t block = 0;         // DATA, ACK
        const uint8_t* payload = nullptr;  // DATA bytes
        size_t payloadLength = 0;
        uint16_t errorCode = 0;     // ERROR
        std::string text;           // ERROR message
        Options options;            // OACK, names in lower case
        std::string problem;
    };

    // Each builder replaces the contents of `out` and returns its length.
    static size_t request(std::vector<uint8_t>& out, uint16_t op, const std::string& file, const Options& options);
    static size_t ackPacket(std::vector<uint8_t>& out, uint16_t block);
    static size_t dataPacket(std::vector<uint8_t>& out, uint16_t block, const uint8_t* bytes, size_t length);
    static size_t oackPacket(std::vector<uint8_t>& out, const Options& options);
    static size_t errorPacket(std::vector<uint8_t>& out, uint16_t code, const std::string& text);

    static Parsed parse(const uint8_t* bytes, size_t length);
    // The request fields of an RRQ/WRQ (for the self-test responder): false
    // when the datagram is not a well-formed request.
    static bool parseRequest(const uint8_t* bytes, size_t length, uint16_t& op, std::string& file, Options& options);
};

} // namespace loadgen
