#pragma once

#include <string>

namespace osk {

// Shell-style wildcard matching of a whole text against a pattern:
//   *        any run of characters, also none;
//   ?        any one character;
//   [abc]    one character of the set; ranges "a-z"; "[!...]" or "[^...]"
//            negates; a "]" first in the set stands for itself;
//   \c       the character c itself.
// A malformed set (no closing "]") matches nothing. Matching is
// case-sensitive and runs in time proportional to text × pattern at worst.
class CWildMat {
public:
    explicit CWildMat(std::string pattern = std::string()) : _pattern(std::move(pattern)) {}

    const std::string& pattern() const { return _pattern; }
    void pattern(const std::string& text) { _pattern = text; }

    bool match(const std::string& text) const { return match(_pattern, text); }
    static bool match(const std::string& pattern, const std::string& text);

private:
    std::string _pattern;
};

} // namespace osk
