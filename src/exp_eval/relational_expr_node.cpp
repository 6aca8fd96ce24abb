#include "exp_eval/relational_expr_node.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CRelationalExprNode.
const char* const kCannotProcess = "Cannot process relational sub-expression.";
const char* const kInvalidOpcode = "Invalid opcode.";
} // namespace

bool CRelationalExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant left;
    osk::CVariant right;
    if (!_left->interpret(left) || !_right->interpret(right)) return false;
    switch (_operator.operatorType()) {
    case COperator::op_less: value = left < right; return true;
    case COperator::op_less_equal: value = left <= right; return true;
    case COperator::op_greater: value = left > right; return true;
    case COperator::op_greater_equal: value = left >= right; return true;
    case COperator::op_equal: value = left == right; return true;
    case COperator::op_not_equal: value = left != right; return true;
    default:
        throw OSK_EXCEPTION(osk::CMessage(kCannotProcess), osk::CMessage(kInvalidOpcode),
                            "CRelationalExprNode::interpret", kModule);
    }
}
