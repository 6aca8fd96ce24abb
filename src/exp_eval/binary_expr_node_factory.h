#pragma once

#include "exp_eval/parse_stack.h"
#include "exp_eval/token.h"

// Pops the right and then the left operand and pushes the node class of the
// operator: arithmetic, relational, bitwise, "&&", "||" or assignment.
class CBinaryExprNodeFactory {
public:
    static void build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator);
};
