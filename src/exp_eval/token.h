#pragma once

#include <string>

#include "exp_eval/operator.h"
#include "standard/variant.h"

// One element of a postfix token list: an operator or an operand value. An
// operand read directly after "$" is the name of the function being called
// and is marked as such, so a string that merely looks like "$name" is never
// taken for the callee.
class CToken {
public:
    CToken() = default;
    explicit CToken(const COperator& op) : _isOperator(true), _operator(op) {}
    explicit CToken(const osk::CVariant& operand, bool functionName = false)
        : _operand(operand), _functionName(functionName) {}

    bool isOperator() const { return _isOperator; }
    bool isOperand() const { return !_isOperator; }
    bool isFunctionName() const { return _functionName; }
    const COperator& getOperator() const { return _operator; }
    const osk::CVariant& operand() const { return _operand; }

    // The operator's text, or the operand's text (strings in double quotes).
    std::string string() const;

    // Same kind and, for operators, the same type; for operands the same
    // type, subtype and text.
    bool operator==(const CToken& other) const;
    bool operator!=(const CToken& other) const { return !(*this == other); }

private:
    bool _isOperator = false;
    COperator _operator;
    osk::CVariant _operand;
    bool _functionName = false;
};
