#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "extended/arg_buffer.h"

namespace osk {

// A message text with numbered placeholders ("%1", "%2", ...), the arguments
// that fill them and the module that raised it. Exceptions carry two of
// these (what failed, and why); the log receives them for every entry.
class CMessage {
public:
    // Up to 100 arguments sharing 1024 bytes of text, at most 512 bytes each.
    using arg_buffer_t = CArgBuffer<100, 1024, 512>;

    CMessage() = default;
    explicit CMessage(std::string text, std::string module = std::string(), int64_t id = 0);

    const std::string& msg() const { return _msg; }
    void msg(const std::string& text) { _msg = text; }
    const std::string& module() const { return _module; }
    void module(const std::string& name) { _module = name; }
    int64_t id() const { return _id; }
    void id(int64_t value) { _id = value; }

    // Arguments are pushed in placeholder order: the first fills "%1". A full
    // argument buffer throws (see CArgBuffer).
    CMessage& pushs(const std::string& text);
    CMessage& pushs(const char* text);
    template <class Number, class = std::enable_if_t<std::is_arithmetic<Number>::value>>
    CMessage& push(Number value)
    {
        _args.pushValue(_numberText(value), _numberType<Number>());
        return *this;
    }
    // Any object with a string() text form (endpoints, addresses).
    template <class Object>
    CMessage& pusho(const Object& object)
    {
        _args.pushValue(object.string(), arg_buffer_t::object);
        return *this;
    }

    size_t argCount() const { return _args.count(); }
    // The text of an argument (0-based); throws "Cannot access argument %1.".
    std::string arg(size_t index) const { return _args.arg(index); }
    const arg_buffer_t& args() const { return _args; }
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
    template <class Number>
    static constexpr arg_buffer_t::arg_type_t _numberType()
    {
        if constexpr (std::is_same<Number, bool>::value) return arg_buffer_t::boolean;
        else if constexpr (std::is_floating_point<Number>::value) return arg_buffer_t::real_number;
        else if constexpr (std::is_signed<Number>::value) return arg_buffer_t::signed_number;
        else return arg_buffer_t::unsigned_number;
    }

    std::string _msg;
    std::string _module;
    int64_t _id = 0;
    arg_buffer_t _args;
};

} // namespace osk
