#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace osk {

// A message text with numbered placeholders ("%1", "%2", ...), the arguments
// that fill them and the module that raised it. Exceptions carry two of
// these (what failed, and why); the log receives them for every entry.
class CMessage {
public:
    CMessage() = default;
    explicit CMessage(std::string text, std::string module = std::string(), int64_t id = 0);

    const std::string& msg() const { return _msg; }
    void msg(const std::string& text) { _msg = text; }
    const std::string& module() const { return _module; }
    void module(const std::string& name) { _module = name; }
    int64_t id() const { return _id; }
    void id(int64_t value) { _id = value; }

    // Arguments are pushed in placeholder order: the first fills "%1".
    CMessage& pushs(const std::string& text);
    template <class Number, class = std::enable_if_t<std::is_arithmetic<Number>::value>>
    CMessage& push(Number value) { return pushs(_numberText(value)); }
    // Any object with a string() text form (endpoints, addresses).
    template <class Object>
    CMessage& pusho(const Object& object) { return pushs(object.string()); }

    size_t argCount() const { return _args.size(); }
    const std::string& arg(size_t index) const;
    void clearArgs() { _args.clear(); }

    // The text with every placeholder filled.
    std::string formatted() const;
    bool empty() const { return _msg.empty(); }

private:
    template <class Number>
    static std::string _numberText(Number value)
    {
        if constexpr (std::is_same<Number, bool>::value) return value ? "true" : "false";
        else return std::to_string(value);
    }

    std::string _msg;
    std::string _module;
    int64_t _id = 0;
    std::vector<std::string> _args;
};

} // namespace osk
