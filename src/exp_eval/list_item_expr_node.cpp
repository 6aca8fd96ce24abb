#include "exp_eval/list_item_expr_node.h"

CListItemExprNode::CListItemExprNode(const osk::CExpEval* evaluator)
    : osk::CNonterminalNode(evaluator, COperator(COperator::op_arg_separator), nullptr, nullptr)
{
}

CListItemExprNode::CListItemExprNode(const osk::CExpEval* evaluator, node_ptr argument,
                                     osk::CTrackedPtr<CListItemExprNode> next)
    : osk::CNonterminalNode(evaluator, COperator(COperator::op_arg_separator), std::move(argument), nullptr)
{
    _right = std::move(next);
    _depth = _left ? _left->depth() + 1 : 1;
}

CListItemExprNode::~CListItemExprNode()
{
    // Unlink the rest of the chain one cell at a time so that a long argument
    // list does not recurse once per cell.
    node_ptr next = std::move(_right);
    while (next) {
        CListItemExprNode* cell = static_cast<CListItemExprNode*>(next.get());
        node_ptr after = std::move(cell->_right);
        next = std::move(after);
    }
}

bool CListItemExprNode::interpret(osk::CVariant& value) const { return _left && _left->interpret(value); }
