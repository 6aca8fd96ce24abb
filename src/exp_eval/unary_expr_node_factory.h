#pragma once

#include "exp_eval/parse_stack.h"
#include "exp_eval/token.h"

// Pops one operand and pushes a CUnaryExprNode.
class CUnaryExprNodeFactory {
public:
    static void build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator);
};
