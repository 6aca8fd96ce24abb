#pragma once

#include <cstdint>
#include <string>

#include "standard/string_map.h"

// A console reply: the record's entries, then a code line ("code=ack" or
// "code=nak"), an optional message line and the empty line that ends every
// final reply.
class CTextCommand : public osk::CStringMap {
public:
    using code_t = uint32_t;
    static constexpr code_t ack = 0;
    static constexpr code_t nak = 1;

    explicit CTextCommand(code_t code = ack);
    ~CTextCommand() override = default;

    std::string typeName() const override { return "CTextCommand"; }

    code_t code() const { return _code; }
    void code(code_t value) { _code = value; }

    // Replace the entries.
    void data(const osk::CStringMap& map);
    void data(const std::string& text);

    // Sets the message of a nak reply; throws "Failed to set an error
    // message." when the code is not nak.
    void errorMsg(const std::string& text);
    void warningMsg(const std::string& text) { _message = text; }
    const std::string& errorMsg() const { return _message; }
    const std::string& warningMsg() const { return _message; }

    // Entries as key=value lines, the code line, the message line when there
    // is a message, and one empty line.
    std::string string() const override;
    void string(const std::string& text) override { data(text); }

private:
    code_t _code;
    std::string _message;
};
