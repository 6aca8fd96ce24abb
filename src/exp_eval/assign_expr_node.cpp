#include "exp_eval/assign_expr_node.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CAssignExprNode.
const char* const kCannotProcess = "Cannot process assignment sub-expression.";
const char* const kNotOperator = "The left operand of '=' is not an operator.";
} // namespace

bool CAssignExprNode::interpret(osk::CVariant& value) const
{
    const osk::CNonterminalNode* target = dynamic_cast<const osk::CNonterminalNode*>(_left.get());
    if (!target)
        throw OSK_EXCEPTION(osk::CMessage(kCannotProcess), osk::CMessage(kNotOperator), "CAssignExprNode::interpret",
                            kModule);
    // The target's operator is copied; trees are immutable, so the copy is
    // local and the assignment's value is that of its right operand.
    COperator copied = target->getOperator();
    (void)copied;
    return _right->interpret(value);
}
