#include "exp_eval/operator.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of COperator.
const char* const kCannotAssign = "Cannot assign operator from text '%1'.";
const char* const kIllegalValue = "Illegal value.";

// Texts indexed by type number.
const char* const kTexts[] = {"unknown", "$",  "$$", ":",  "!",  "-",  "~", "*",  "/",  "+", "-", "<",  "<=", ">",
                              ">=",      "==", "!=", "&",  "^",  "|",  "&&", "||", "?", "=", ",", "(", ")"};
const int kCount = static_cast<int>(sizeof(kTexts) / sizeof(kTexts[0]));
} // namespace

COperator& COperator::operator=(const std::string& text)
{
    // "-" maps to subtraction (searched from the end so the binary form wins);
    // "unknown" is not an operator text.
    for (int type = kCount - 1; type >= 1; --type) {
        if (type == op_negate) continue;
        if (text == kTexts[type]) {
            _type = static_cast<operator_type>(type);
            return *this;
        }
    }
    throw OSK_EXCEPTION(osk::CMessage(kCannotAssign).pushs(text), osk::CMessage(kIllegalValue),
                        "COperator::operator=", kModule);
}

bool COperator::isBinary() const
{
    return _type == op_cond_separator || (_type >= op_multiply && _type <= op_assign);
}

std::string COperator::string() const
{
    if (_type <= op_none || _type >= kCount) return kTexts[0];
    return kTexts[_type];
}
