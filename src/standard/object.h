#pragma once

#include <string>

namespace osk {

// Base of the framework's value objects: every object has a type name and a
// text form it can write and absorb.
class CObject {
public:
    virtual ~CObject() = default;

    virtual std::string typeName() const = 0;
    // The object's text form.
    virtual std::string string() const = 0;
    // Absorbs a text form.
    virtual void string(const std::string& text) = 0;
    // Absorbs a text form through string(text); derived classes that need to
    // guard the absorption override this.
    virtual void safe_string(const std::string& text) { string(text); }
    // A printable dump; by default the text form.
    virtual std::string dump() const { return string(); }
};

} // namespace osk
