#include "exp_eval/nonterminal_node.h"

#include <algorithm>

namespace osk {

CNonterminalNode::CNonterminalNode(const CExpEval* evaluator, const COperator& op, node_ptr left, node_ptr right)
    : CNodeBase(evaluator), _left(std::move(left)), _right(std::move(right)), _operator(op)
{
    const size_t leftDepth = _left ? _left->depth() : 0;
    const size_t rightDepth = _right ? _right->depth() : 0;
    _depth = 1 + std::max(leftDepth, rightDepth);
}

} // namespace osk
