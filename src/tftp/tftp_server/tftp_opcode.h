#pragma once

#include <cstdint>
#include <string>

// The opcode of a TFTP packet: the first 16-bit word on the wire.
class CTFTPOpcode {
public:
    enum opcode : int32_t {
        none = 0,
        rrq = 1,
        wrq = 2,
        data = 3,
        ack = 4,
        error = 5,
        oack = 6,
    };

    CTFTPOpcode() = default;
    CTFTPOpcode(opcode value) : _value(value) {}
    explicit CTFTPOpcode(int value) : _value(static_cast<opcode>(value)) {}

    opcode value() const { return _value; }
    void value(opcode v) { _value = v; }

    operator int() const { return static_cast<int>(_value); }
    explicit operator opcode() const { return _value; }

    // "rrq", "wrq", "data", "ack", "error", "oack"; any other value (0 included)
    // as its decimal number.
    std::string string() const;

private:
    opcode _value = none;
};
