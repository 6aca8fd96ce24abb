#include "exp_eval/bitwise_expr_node.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CBitwiseExprNode.
const char* const kCannotProcess = "Cannot process bitwise sub-expression.";
const char* const kInvalidOpcode = "Invalid opcode.";
} // namespace

bool CBitwiseExprNode::interpret(osk::CVariant& value) const
{
    osk::CVariant left;
    osk::CVariant right;
    if (!_left->interpret(left) || !_right->interpret(right)) return false;
    switch (_operator.operatorType()) {
    case COperator::op_bit_and: value = left & right; return true;
    case COperator::op_bit_xor: value = left ^ right; return true;
    case COperator::op_bit_or: value = left | right; return true;
    default:
        throw OSK_EXCEPTION(osk::CMessage(kCannotProcess), osk::CMessage(kInvalidOpcode),
                            "CBitwiseExprNode::interpret", kModule);
    }
}
