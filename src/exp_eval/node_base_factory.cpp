#include "exp_eval/node_base_factory.h"

#include "exp_eval/arguments_node_factory.h"
#include "exp_eval/binary_expr_node_factory.h"
#include "exp_eval/terminal_node_factory.h"
#include "exp_eval/unary_expr_node_factory.h"
#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CNodeBaseFactory.
const char* const kFailed = "Failed to execute expression.";
const char* const kTooDeep = "Expression nesting exceeds %1 levels.";
const char* const kCannotEvaluate = "Cannot evaluate operator type '%1'.";
const char* const kNoConversion = "No conversion for this type.";
} // namespace

void CNodeBaseFactory::build(const CToken& token, CParseStack& stack, const CExpEval* evaluator)
{
    if (token.isOperand()) {
        CTerminalNodeFactory::build(token, stack, evaluator);
        return;
    }
    const COperator& op = token.getOperator();
    if (op.isUnary()) CUnaryExprNodeFactory::build(token, stack, evaluator);
    else if (op.operatorType() == COperator::op_function || op.operatorType() == COperator::op_conditional)
        CArgumentsNodeFactory::build(token, stack, evaluator);
    else if (op.isBinary() && op.operatorType() != COperator::op_cond_separator)
        CBinaryExprNodeFactory::build(token, stack, evaluator);
    else
        throw OSK_EXCEPTION(CMessage(kCannotEvaluate).push(static_cast<int>(op.operatorType())),
                            CMessage(kNoConversion), "CNodeBaseFactory::build", kModule);
    if (stack.top()->depth() > maxDepth)
        throw OSK_EXCEPTION(CMessage(kFailed), CMessage(kTooDeep).push(maxDepth), "CNodeBaseFactory::build", kModule);
}

} // namespace osk
