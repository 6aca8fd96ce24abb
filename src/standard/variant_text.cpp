#include "standard/variant_text.h"

#include <cstring>

namespace osk {

std::string CVariantText::trimAddress(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == '[' || text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ']' || text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
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
