#include "exp_eval/conditional_expr_node.h"

#include "exp_eval/conditional_args_node.h"

bool CConditionalExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant condition;
    if (!_left->interpret(condition)) return false;
    // The factory always puts the branches in a CConditionalArgsNode.
    return static_cast<const CConditionalArgsNode*>(_right.get())->interpretBranch(condition.boolean(), value);
}
