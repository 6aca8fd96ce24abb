#include "extended/wild_mat.h"

namespace osk {

namespace {

// Matches one set "[...]" starting at pattern[p] == '['. Sets next to the
// index after the closing "]"; false (and next = npos) when it is malformed.
bool matchSet(const std::string& pattern, size_t p, char c, size_t& next)
{
    size_t i = p + 1;
    bool negate = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
        negate = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    while (i < pattern.size() && (first || pattern[i] != ']')) {
        first = false;
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size()) low = pattern[++i];
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            if (high == '\\' && i + 3 < pattern.size()) high = pattern[++i + 2];
            i += 2;
        }
        const unsigned char uc = static_cast<unsigned char>(c);
        if (static_cast<unsigned char>(low) <= uc && uc <= static_cast<unsigned char>(high)) found = true;
        ++i;
    }
    if (i >= pattern.size()) {
        next = std::string::npos;
        return false;
    }
    next = i + 1;
    return found != negate;
}

} // namespace

// Greedy scan with one backtrack point: the last "*" seen. On a mismatch the
// star absorbs one more character and matching resumes after it. This is
// enough because an earlier star can never help once a later one matched.
bool CWildMat::match(const std::string& pattern, const std::string& text)
{
    size_t p = 0;
    size_t t = 0;
    size_t starP = std::string::npos;
    size_t starT = 0;
    while (t < text.size()) {
        bool advanced = false;
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '*') {
                starP = p++;
                starT = t;
                continue;
            }
            if (pc == '?') {
                ++p;
                ++t;
                advanced = true;
            } else if (pc == '[') {
                size_t next = 0;
                if (matchSet(pattern, p, text[t], next)) {
                    p = next;
                    ++t;
                    advanced = true;
                } else if (next == std::string::npos) {
                    return false;
                }
            } else {
                char literal = pc;
                size_t width = 1;
                if (pc == '\\' && p + 1 < pattern.size()) {
                    literal = pattern[p + 1];
                    width = 2;
                }
                if (literal == text[t]) {
                    p += width;
                    ++t;
                    advanced = true;
                }
            }
        }
        if (advanced) continue;
        if (starP == std::string::npos) return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

} // namespace osk
