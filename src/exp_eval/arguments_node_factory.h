#pragma once

#include "exp_eval/parse_stack.h"
#include "exp_eval/token.h"

// The operators whose operands are recognised by position: "$" gathers
// every node above the function name into an argument chain, "?" pops its
// two branches into a CConditionalArgsNode and combines the condition with
// them.
class CArgumentsNodeFactory {
public:
    static void build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator);
};
