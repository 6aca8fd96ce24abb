#include "tftp_wire.h"

#include <algorithm>
#include <cctype>

namespace loadgen {

namespace {
void put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

uint16_t get16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

void putText(std::vector<uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Reads zero-terminated strings from [pos, end); false when the last one has
// no terminator.
bool texts(const uint8_t* pos, const uint8_t* end, std::vector<std::string>& out)
{
    while (pos < end) {
        const uint8_t* zero = std::find(pos, end, 0);
        if (zero == end) return false;
        out.emplace_back(reinterpret_cast<const char*>(pos), static_cast<size_t>(zero - pos));
        pos = zero + 1;
    }
    return true;
}
} // namespace

size_t CTftpWire::request(std::vector<uint8_t>& out, uint16_t op, const std::string& file, const Options& options)
{
    out.clear();
    put16(out, op);
    putText(out, file);
    putText(out, "octet");
    for (const auto& option : options) {
        putText(out, option.first);
        putText(out, option.second);
    }
    return out.size();
}

size_t CTftpWire::ackPacket(std::vector<uint8_t>& out, uint16_t block)
{
    out.clear();
    put16(out, ack);
    put16(out, block);
    return out.size();
}

size_t CTftpWire::dataPacket(std::vector<uint8_t>& out, uint16_t block, const uint8_t* bytes, size_t length)
{
    out.resize(4 + length);
    out[0] = 0;
    out[1] = data;
    out[2] = static_cast<uint8_t>(block >> 8);
    out[3] = static_cast<uint8_t>(block & 0xFF);
    if (length) std::copy(bytes, bytes + length, out.begin() + 4);
    return out.size();
}

size_t CTftpWire::oackPacket(std::vector<uint8_t>& out, const Options& options)
{
    out.clear();
    put16(out, oack);
    for (const auto& option : options) {
        putText(out, option.first);
        putText(out, option.second);
    }
    return out.size();
}

size_t CTftpWire::errorPacket(std::vector<uint8_t>& out, uint16_t code, const std::string& text)
{
    out.clear();
    put16(out, error);
    put16(out, code);
    putText(out, text);
    return out.size();
}

CTftpWire::Parsed CTftpWire::parse(const uint8_t* bytes, size_t length)
{
    Parsed out;
    if (length < 2) {
        out.problem = "datagram shorter than an opcode";
        return out;
    }
    out.op = get16(bytes);
    switch (out.op) {
    case data:
    case ack:
        if (length < 4) {
            out.problem = "datagram shorter than its header";
            return out;
        }
        out.block = get16(bytes + 2);
        if (out.op == data) {
            out.payload = bytes + 4;
            out.payloadLength = length - 4;
        }
        break;
    case error: {
        if (length < 4) {
            out.problem = "error datagram shorter than its header";
            return out;
        }
        out.errorCode = get16(bytes + 2);
        // Servers differ in whether they terminate the text; take it either way.
        const uint8_t* end = std::find(bytes + 4, bytes + length, 0);
        out.text.assign(reinterpret_cast<const char*>(bytes + 4), static_cast<size_t>(end - (bytes + 4)));
        break;
    }
    case oack: {
        std::vector<std::string> fields;
        if (!texts(bytes + 2, bytes + length, fields) || fields.size() % 2 != 0) {
            out.problem = "malformed option acknowledgement";
            return out;
        }
        for (size_t i = 0; i < fields.size(); i += 2) out.options.emplace_back(lower(fields[i]), fields[i + 1]);
        break;
    }
    default:
        out.problem = "unexpected opcode " + std::to_string(out.op);
        return out;
    }
    out.valid = true;
    return out;
}

bool CTftpWire::parseRequest(const uint8_t* bytes, size_t length, uint16_t& op, std::string& file, Options& options)
{
    if (length < 4) return false;
    op = get16(bytes);
    if (op != rrq && op != wrq) return false;
    std::vector<std::string> fields;
    if (!texts(bytes + 2, bytes + length, fields) || fields.size() < 2 || fields.size() % 2 != 0) return false;
    file = fields[0];
    options.clear();
    for (size_t i = 2; i < fields.size(); i += 2) options.emplace_back(lower(fields[i]), fields[i + 1]);
    return true;
}

} // namespace loadgen
