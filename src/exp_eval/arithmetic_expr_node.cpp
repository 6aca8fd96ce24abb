#include "exp_eval/arithmetic_expr_node.h"

#include "exp_eval/exp_eval.h"
#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CArithmeticExprNode (the spelling is the system's own).
const char* const kCannotProcess = "Cannot process arithemetic sub-expression.";
const char* const kInvalidOpcode = "Invalid opcode.";
} // namespace

bool CArithmeticExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant left;
    osk::CVariant right;
    if (!_left->interpret(left) || !_right->interpret(right)) return false;
    switch (_operator.operatorType()) {
    case COperator::op_multiply: value = left * right; return true;
    case COperator::op_divide: value = left / right; return true;
    case COperator::op_add:
        value = left + right;
        osk::CExpEval::checkValueSize(value, "+", "CArithmeticExprNode::interpret");
        return true;
    case COperator::op_subtract: value = left - right; return true;
    default:
        throw OSK_EXCEPTION(osk::CMessage(kCannotProcess), osk::CMessage(kInvalidOpcode),
                            "CArithmeticExprNode::interpret", kModule);
    }
}
