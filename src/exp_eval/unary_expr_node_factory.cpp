#include "exp_eval/unary_expr_node_factory.h"

#include "exp_eval/unary_expr_node.h"
#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CUnaryExprNodeFactory.
const char* const kFailed = "Failed to execute expression.";
const char* const kNeedsOne = "Operator %1 requires at least one operand.";
} // namespace

void CUnaryExprNodeFactory::build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator)
{
    if (stack.empty())
        throw OSK_EXCEPTION(osk::CMessage(kFailed), osk::CMessage(kNeedsOne).pushs(token.getOperator().string()),
                            "CUnaryExprNodeFactory::build", kModule);
    osk::CParseStack::node_ptr operand = stack.pop();
    stack.push(
        osk::CTrackedFactory::createUnique<CUnaryExprNode>(evaluator, token.getOperator(), std::move(operand), nullptr));
}
