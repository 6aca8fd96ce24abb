#include "exp_eval/binary_expr_node_factory.h"

#include "exp_eval/and_expr_node.h"
#include "exp_eval/arithmetic_expr_node.h"
#include "exp_eval/assign_expr_node.h"
#include "exp_eval/bitwise_expr_node.h"
#include "exp_eval/or_expr_node.h"
#include "exp_eval/relational_expr_node.h"
#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CBinaryExprNodeFactory.
const char* const kFailed = "Failed to execute expression.";
const char* const kNeedsTwo = "Operator %1 requires two operands.";
const char* const kCannotEvaluate = "Cannot evaluate operator type '%1'.";
const char* const kNoConversion = "No conversion for this type.";
} // namespace

void CBinaryExprNodeFactory::build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator)
{
    const COperator& op = token.getOperator();
    if (stack.size() < 2)
        throw OSK_EXCEPTION(osk::CMessage(kFailed), osk::CMessage(kNeedsTwo).pushs(op.string()),
                            "CBinaryExprNodeFactory::build", kModule);
    osk::CParseStack::node_ptr right = stack.pop();
    osk::CParseStack::node_ptr left = stack.pop();
    osk::CNodeBase* node = nullptr;
    switch (op.operatorType()) {
    case COperator::op_multiply:
    case COperator::op_divide:
    case COperator::op_add:
    case COperator::op_subtract:
        node = osk::CTrackedFactory::create<CArithmeticExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    case COperator::op_less:
    case COperator::op_less_equal:
    case COperator::op_greater:
    case COperator::op_greater_equal:
    case COperator::op_equal:
    case COperator::op_not_equal:
        node = osk::CTrackedFactory::create<CRelationalExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    case COperator::op_bit_and:
    case COperator::op_bit_xor:
    case COperator::op_bit_or:
        node = osk::CTrackedFactory::create<CBitwiseExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    case COperator::op_and:
        node = osk::CTrackedFactory::create<CAndExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    case COperator::op_or:
        node = osk::CTrackedFactory::create<COrExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    case COperator::op_assign:
        node = osk::CTrackedFactory::create<CAssignExprNode>(evaluator, op, std::move(left), std::move(right));
        break;
    default:
        throw OSK_EXCEPTION(osk::CMessage(kCannotEvaluate).push(static_cast<int>(op.operatorType())),
                            osk::CMessage(kNoConversion), "CBinaryExprNodeFactory::build", kModule);
    }
    stack.push(osk::CParseStack::node_ptr(node));
}
