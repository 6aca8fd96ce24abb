#include "standard/string_util.h"

#include <algorithm>
#include <cctype>

namespace osk {

std::string CStringUtil::trimLeft(const std::string& text, const char* set)
{
    const size_t first = text.find_first_not_of(set);
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string CStringUtil::trimRight(const std::string& text, const char* set)
{
    const size_t last = text.find_last_not_of(set);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string CStringUtil::trim(const std::string& text, const char* set)
{
    const size_t first = text.find_first_not_of(set);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(set) - first + 1);
}

std::vector<std::string> CStringUtil::split(const std::string& text, const char* separators, const char* set,
                                            empty_items empties)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        const size_t end = text.find_first_of(separators, start);
        std::string item = trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start), set);
        if (empties == keepEmpty || !item.empty()) items.push_back(std::move(item));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return items;
}

std::string CStringUtil::join(const std::vector<std::string>& items, const std::string& separator)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += separator;
        text += items[i];
    }
    return text;
}

bool CStringUtil::toBoolean(const std::string& text, bool& value)
{
    std::string word = trim(text);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* truth : {"true", "yes", "on", "1"})
        if (word == truth) return value = true, true;
    for (const char* falsehood : {"false", "no", "off", "0"})
        if (word == falsehood) return value = false, true;
    return false;
}

} // namespace osk
