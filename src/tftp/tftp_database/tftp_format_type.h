#pragma once

#include <cstdint>
#include <string>

// The text format of a console session's policies: "packed" carries a
// policy's data entries in one attribute "data", "unpacked" gives each data
// entry an attribute "data <key>" of its own. A new value is packed.
class CTFTPFormatType {
public:
    enum format_t : int32_t {
        packed = 1,
        unpacked = 2,
    };

    CTFTPFormatType() = default;
    CTFTPFormatType(format_t value) : _value(value) {}

    format_t value() const { return _value; }
    // Any number outside 1 and 2 throws "Cannot set format type." with
    // "Invalid or unknown value '%1'.".
    void value(int32_t number);

    // "packed" or "unpacked".
    std::string string() const;
    // Sets the format from "packed" or "unpacked", compared without regard
    // to case; any other text throws as value(int32_t) does.
    void string(const std::string& text);

    bool operator==(const CTFTPFormatType& other) const { return _value == other._value; }
    bool operator!=(const CTFTPFormatType& other) const { return _value != other._value; }

private:
    format_t _value = packed;
};
