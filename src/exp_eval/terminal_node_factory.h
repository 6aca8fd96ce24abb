#pragma once

#include "exp_eval/parse_stack.h"
#include "exp_eval/token.h"

// Pushes the terminal node of an operand's value type.
class CTerminalNodeFactory {
public:
    static void build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator);
};
