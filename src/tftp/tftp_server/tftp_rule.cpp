#include "tftp/tftp_server/tftp_rule.h"

#include "extended/exception.h"
#include "standard/string_util.h"

namespace {
const char* const kModule = "tftp_server";
const char* const kTypeMismatch = "Type mismatch.";
const char* const kNotBoolean = "Expression does not evaluate to a boolean result.";

[[noreturn]] void notBoolean(const char* context)
{
    throw OSK_EXCEPTION(osk::CMessage(kTypeMismatch, kModule), osk::CMessage(kNotBoolean, kModule), context,
                        kModule);
}
} // namespace

CTFTPRule::CTFTPRule(CTFTPEval& evaluator, const std::string& text) : _expression(evaluator, text)
{
    _readLiteral();
}

CTFTPRule& CTFTPRule::operator=(const std::string& text)
{
    _expression = text;
    _readLiteral();
    return *this;
}

bool CTFTPRule::booleanLiteral(const std::string& text)
{
    bool value = false;
    if (osk::CStringUtil::toBoolean(text, value)) return value;
    notBoolean("CTFTPRule::booleanLiteral");
}

void CTFTPRule::_readLiteral()
{
    bool value = false;
    if (!_expression.isLiteral())
        _literal = notLiteral;
    else if (osk::CStringUtil::toBoolean(_expression.text(), value))
        _literal = value ? literalTrue : literalFalse;
    else
        _literal = literalNotBoolean;
}

bool CTFTPRule::decide(const CStatePtr& state)
{
    switch (_literal) {
    case literalTrue: return true;
    case literalFalse: return false;
    case literalNotBoolean: notBoolean("CTFTPRule::decide");
    case notLiteral: break;
    }
    const osk::CVariant result = _expression.value(state);
    if (result.type().type() != osk::CVariantType::t_boolean) notBoolean("CTFTPRule::decide");
    return result.boolean();
}
