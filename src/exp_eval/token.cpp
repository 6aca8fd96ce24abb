#include "exp_eval/token.h"

std::string CToken::string() const
{
    if (_isOperator) return _operator.string();
    if (_operand.type() == osk::CVariantType::t_string && !_functionName) return '"' + _operand.string() + '"';
    return _operand.string();
}

bool CToken::operator==(const CToken& other) const
{
    if (_isOperator != other._isOperator) return false;
    if (_isOperator) return _operator == other._operator;
    return _functionName == other._functionName && _operand.type() == other._operand.type() &&
           _operand.subtype() == other._operand.subtype() && _operand.string() == other._operand.string();
}
