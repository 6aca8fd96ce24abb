#pragma once

#include <cstdint>
#include <string>

// The code carried by a TFTP error packet. 255 is not a wire value: it marks
// "no error" in a transfer's state.
class CTFTPErrorCode {
public:
    enum err_code : int32_t {
        undefined = 0,
        file_not_found = 1,
        access_denied = 2,
        disk_full = 3,
        illegal_opcode = 4,
        unknown_tid = 5,
        file_exists = 6,
        no_such_user = 7,
        option_negotiation = 8,
        no_error = 255,
    };

    CTFTPErrorCode() = default;
    CTFTPErrorCode(err_code value) : _value(value) {}
    explicit CTFTPErrorCode(int value) : _value(static_cast<err_code>(value)) {}

    err_code value() const { return _value; }
    void value(err_code v) { _value = v; }

    operator int() const { return static_cast<int>(_value); }
    explicit operator err_code() const { return _value; }

    // The code's name; a value without a name as its decimal number.
    std::string string() const;

    // The code to report for an operating-system error number: missing file,
    // permission, full disk and existing file have their own codes; anything
    // else is "undefined".
    static CTFTPErrorCode from_errno(int err);

private:
    err_code _value = no_error;
};
