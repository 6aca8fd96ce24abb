#pragma once

#include <cstddef>

#include "exp_eval/parse_stack.h"
#include "exp_eval/token.h"

namespace osk {

// Builds the node of one postfix token on the parse stack, choosing the
// node class by operator type or, for operands, by value type. Trees deeper
// than maxDepth are refused, so evaluating and destroying a tree never
// recurses without bound.
class CNodeBaseFactory {
public:
    static constexpr size_t maxDepth = 256;

    static void build(const CToken& token, CParseStack& stack, const CExpEval* evaluator);
};

} // namespace osk
