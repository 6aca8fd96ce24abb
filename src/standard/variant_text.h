#pragma once

#include <string>

namespace osk {

// Text helpers shared by variant type guessing and variant conversion, so
// both read addresses and boolean words by the same rules.
class CVariantText {
public:
    // Address text without surrounding "[", "]", blanks and tabs.
    static std::string trimAddress(const std::string& text);
    // text equals the lower-case word, ignoring the case of text.
    static bool equalsNoCase(const std::string& text, const char* word);
};

} // namespace osk
