#include "exp_eval/unary_expr_node.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CUnaryExprNode.
const char* const kCannotProcess = "Cannot process unary sub-expression.";
const char* const kInvalidOpcode = "Invalid opcode.";
} // namespace

bool CUnaryExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant operand;
    if (!_left || !_left->interpret(operand)) return false;
    switch (_operator.operatorType()) {
    case COperator::op_not: value = !operand; return true;
    case COperator::op_negate: value = -operand; return true;
    case COperator::op_complement: value = ~operand; return true;
    default:
        throw OSK_EXCEPTION(osk::CMessage(kCannotProcess), osk::CMessage(kInvalidOpcode),
                            "CUnaryExprNode::interpret", kModule);
    }
}
