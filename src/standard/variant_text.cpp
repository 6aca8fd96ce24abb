#include "standard/variant_text.h"

#include <cstring>

#include "standard/string_util.h"

namespace osk {

std::string CVariantText::trimAddress(const std::string& text)
{
    return CStringUtil::trimRight(CStringUtil::trimLeft(text, "[ \t"), "] \t");
}

bool CVariantText::equalsNoCase(const std::string& text, const char* word)
{
    const size_t length = std::strlen(word);
    if (text.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

} // namespace osk
