#pragma once

#include <cstdint>
#include <string>

namespace osk {

// Reads a signed decimal identifier through the framework's number
// conversion, which raises "Cannot deserialize number '%1' from text." for
// text that is not a 64-bit decimal integer.
int64_t parseIdentifierText(const std::string& text);

// Shared behaviour of the signed 64-bit identifiers of the security model
// (domains, domain groups, accounts): comparison and arithmetic act on the id
// alone, so any extra fields of the derived identifier never influence order
// or equality. Derived is the identifier class itself (CRTP).
template <class Derived>
class CIdentifier {
public:
    using id_t = int64_t;

    id_t id() const { return _id; }
    void id(id_t value) { _id = value; }

    friend bool operator==(const Derived& a, const Derived& b) { return a._id == b._id; }
    friend bool operator!=(const Derived& a, const Derived& b) { return a._id != b._id; }
    friend bool operator<(const Derived& a, const Derived& b) { return a._id < b._id; }
    friend bool operator<=(const Derived& a, const Derived& b) { return a._id <= b._id; }
    friend bool operator>(const Derived& a, const Derived& b) { return a._id > b._id; }
    friend bool operator>=(const Derived& a, const Derived& b) { return a._id >= b._id; }

    Derived& operator+=(id_t delta)
    {
        _id += delta;
        return _self();
    }
    Derived& operator-=(id_t delta)
    {
        _id -= delta;
        return _self();
    }
    Derived& operator+=(const Derived& other) { return *this += other._id; }
    Derived& operator-=(const Derived& other) { return *this -= other._id; }
    Derived& operator++() { return *this += 1; }
    Derived& operator--() { return *this -= 1; }
    Derived operator++(int)
    {
        Derived before = _self();
        ++_id;
        return before;
    }
    Derived operator--(int)
    {
        Derived before = _self();
        --_id;
        return before;
    }

    friend Derived operator+(Derived a, id_t delta) { return a += delta; }
    friend Derived operator-(Derived a, id_t delta) { return a -= delta; }
    friend Derived operator+(Derived a, const Derived& b) { return a += b; }
    friend Derived operator-(Derived a, const Derived& b) { return a -= b; }

protected:
    explicit CIdentifier(id_t value) : _id(value) {}

private:
    Derived& _self() { return static_cast<Derived&>(*this); }
    const Derived& _self() const { return static_cast<const Derived&>(*this); }

    id_t _id;
};

} // namespace osk
