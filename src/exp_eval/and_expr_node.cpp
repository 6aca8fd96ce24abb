#include "exp_eval/and_expr_node.h"

bool CAndExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant operand;
    if (!_left->interpret(operand)) return false;
    if (!operand.boolean()) {
        value = osk::CVariant(false);
        return true;
    }
    if (!_right->interpret(operand)) return false;
    value = osk::CVariant(operand.boolean());
    return true;
}
