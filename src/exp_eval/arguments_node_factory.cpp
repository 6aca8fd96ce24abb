#include "exp_eval/arguments_node_factory.h"

#include "exp_eval/conditional_args_node.h"
#include "exp_eval/conditional_expr_node.h"
#include "exp_eval/func_expr_node.h"
#include "exp_eval/list_item_expr_node.h"
#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CArgumentsNodeFactory.
const char* const kFailed = "Failed to execute expression.";
const char* const kNeedsTwo = "Operator %1 requires two operands.";
const char* const kNeedsName = "Operator %1 requires a function name.";
const char* const kCannotEvaluate = "Cannot evaluate operator type '%1'.";
const char* const kNoConversion = "No conversion for this type.";
} // namespace

void CArgumentsNodeFactory::build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator)
{
    const COperator& op = token.getOperator();
    if (op.operatorType() == COperator::op_function) {
        const size_t name = stack.findFunctionName();
        if (name == stack.size())
            throw OSK_EXCEPTION(osk::CMessage(kFailed), osk::CMessage(kNeedsName).pushs(op.string()),
                                "CArgumentsNodeFactory::build", kModule);
        // Popping yields the last argument first, so the chain grows from its end.
        auto chain = osk::CTrackedFactory::createUnique<CListItemExprNode>(evaluator);
        while (stack.size() > name + 1)
            chain = osk::CTrackedFactory::createUnique<CListItemExprNode>(evaluator, stack.pop(), std::move(chain));
        osk::CParseStack::node_ptr callee = stack.pop();
        stack.push(osk::CTrackedFactory::createUnique<CFuncExprNode>(evaluator, std::move(callee), std::move(chain)));
        return;
    }
    if (op.operatorType() == COperator::op_conditional) {
        if (stack.size() < 3)
            throw OSK_EXCEPTION(osk::CMessage(kFailed), osk::CMessage(kNeedsTwo).pushs(op.string()),
                                "CArgumentsNodeFactory::build", kModule);
        osk::CParseStack::node_ptr otherwise = stack.pop();
        osk::CParseStack::node_ptr then = stack.pop();
        osk::CParseStack::node_ptr condition = stack.pop();
        osk::CParseStack::node_ptr branches = osk::CTrackedFactory::createUnique<CConditionalArgsNode>(
            evaluator, COperator(COperator::op_cond_separator), std::move(then), std::move(otherwise));
        stack.push(osk::CTrackedFactory::createUnique<CConditionalExprNode>(evaluator, op, std::move(condition),
                                                                            std::move(branches)));
        return;
    }
    throw OSK_EXCEPTION(osk::CMessage(kCannotEvaluate).push(static_cast<int>(op.operatorType())),
                        osk::CMessage(kNoConversion), "CArgumentsNodeFactory::build", kModule);
}
