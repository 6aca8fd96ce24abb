#pragma once

#include <cstdint>
#include <string>

namespace osk {

// A set of rights on a class of persistent objects, held as a bit mask.
// Only the four defined bits (read, write, execute, create) are ever stored;
// other bits given to the mutators are dropped.
class CAccessRights {
public:
    using right_t = uint32_t;

    static constexpr right_t none = 0;
    static constexpr right_t read = 1;
    static constexpr right_t write = 2;
    static constexpr right_t execute = 4;
    static constexpr right_t create = 8;
    static constexpr right_t all = read | write | execute | create;

    explicit CAccessRights(right_t mask = none) : _rights(mask & all) {}

    right_t rights() const { return _rights; }

    // Adds bits.
    void set(right_t mask) { _rights |= mask & all; }
    void append(const CAccessRights& other) { _rights |= other._rights; }
    // Replaces the whole mask.
    void set(const CAccessRights& other) { _rights = other._rights; }
    // Empties the mask, or takes the given bits away (clear(0) does nothing).
    void clear() { _rights = none; }
    void clear(right_t mask) { _rights &= ~mask; }
    void remove(const CAccessRights& other) { _rights &= ~other._rights; }

    // For a non-zero right: any of its bits is held. has(0): the mask is empty.
    bool has(right_t right) const { return right == none ? _rights == none : (_rights & right) != 0; }
    // Every bit of other is held.
    bool hasAll(const CAccessRights& other) const { return (_rights & other._rights) == other._rights; }
    bool empty() const { return _rights == none; }

    CAccessRights& operator|=(const CAccessRights& other)
    {
        _rights |= other._rights;
        return *this;
    }
    CAccessRights& operator&=(const CAccessRights& other)
    {
        _rights &= other._rights;
        return *this;
    }
    friend CAccessRights operator|(CAccessRights a, const CAccessRights& b) { return a |= b; }
    friend CAccessRights operator&(CAccessRights a, const CAccessRights& b) { return a &= b; }
    friend bool operator==(const CAccessRights& a, const CAccessRights& b) { return a._rights == b._rights; }
    friend bool operator!=(const CAccessRights& a, const CAccessRights& b) { return a._rights != b._rights; }

    // Names of the held bits in the order read, write, execute, create, joined
    // by ","; "none" for an empty mask.
    std::string string() const;
    // Adds the rights named in text: words separated by ",", leading blanks
    // trimmed, compared without regard to case, long or short names ("read"
    // or "r", ..., "all", "*" or "a"). "none" or "n" ends the parse; words
    // that name no right are skipped.
    void string(const std::string& text);

private:
    right_t _rights;
};

} // namespace osk
