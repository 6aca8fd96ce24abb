#include "security/access_rights.h"

#include <strings.h>

#include "standard/string_util.h"

namespace osk {

namespace {
struct RightName {
    CAccessRights::right_t bits;
    const char* text;
    const char* shortText;
};

// The printed bits, in print order.
constexpr RightName kPrintedRights[] = {
    {CAccessRights::read, "read", "r"},
    {CAccessRights::write, "write", "w"},
    {CAccessRights::execute, "execute", "x"},
    {CAccessRights::create, "create", "c"},
};
const char* const kAllText = "all";
const char* const kAllStar = "*";
const char* const kAllShort = "a";
const char* const kNoneText = "none";
const char* const kNoneShort = "n";

bool sameWord(const std::string& word, const char* name)
{
    return strcasecmp(word.c_str(), name) == 0;
}
} // namespace

std::string CAccessRights::string() const
{
    std::string text;
    for (const auto& right : kPrintedRights) {
        if ((_rights & right.bits) == 0) continue;
        if (!text.empty()) text += ",";
        text += right.text;
    }
    return text.empty() ? kNoneText : text;
}

void CAccessRights::string(const std::string& text)
{
    // Only leading blanks are trimmed: "read " names no right.
    for (const std::string& piece : CStringUtil::split(text, ",", "", CStringUtil::keepEmpty)) {
        const std::string word = CStringUtil::trimLeft(piece);
        if (word.empty()) continue;
        // A word with a NUL inside names nothing (strcasecmp would stop at it).
        if (word.find('\0') != std::string::npos) continue;

        if (sameWord(word, kNoneText) || sameWord(word, kNoneShort)) return;
        if (sameWord(word, kAllText) || sameWord(word, kAllStar) || sameWord(word, kAllShort)) {
            _rights = all;
            continue;
        }
        for (const auto& right : kPrintedRights) {
            if (sameWord(word, right.text) || sameWord(word, right.shortText)) {
                _rights |= right.bits;
                break;
            }
        }
    }
}

} // namespace osk
