#pragma once

#include <string>
#include <vector>

namespace osk {

// Trimming and list splitting for text read from configuration, commands and
// files. The formats of the framework do not all treat the same characters
// as blanks, so every caller names its set; the sets below are the ones in
// use, and blanks and tabs are the default.
class CStringUtil {
public:
    // Space characters only.
    static constexpr const char* spaces = " ";
    // Blanks and tabs: the usual set for keys, values and list items.
    static constexpr const char* blanks = " \t";
    // Blanks, tabs and line ends: for values that may arrive with the CR LF
    // of a line still attached.
    static constexpr const char* whitespace = " \t\r\n";

    // text without its leading characters that are in set.
    static std::string trimLeft(const std::string& text, const char* set = blanks);
    // text without its trailing characters that are in set.
    static std::string trimRight(const std::string& text, const char* set = blanks);
    // text without the characters of set at both ends.
    static std::string trim(const std::string& text, const char* set = blanks);

    enum empty_items { dropEmpty, keepEmpty };

    // The items of a list: text cut at every character that is in
    // separators, each item trimmed of the characters in set (an empty set
    // trims nothing). dropEmpty leaves out the items that are empty after
    // trimming, so an empty text has no items; keepEmpty keeps them, so n
    // separators always give n + 1 items.
    static std::vector<std::string> split(const std::string& text, const char* separators = ",",
                                          const char* set = blanks, empty_items empties = dropEmpty);
    // The items with separator between each two: the inverse of split for
    // items that contain no separator.
    static std::string join(const std::vector<std::string>& items, const std::string& separator = ",");

    // The truth value of a boolean word: "true", "yes", "on", "1" or
    // "false", "no", "off", "0", in any case, blanks around ignored. False
    // (value untouched) for any other text.
    static bool toBoolean(const std::string& text, bool& value);
};

} // namespace osk
