#pragma once

#include "exp_eval/nonterminal_node.h"

// "=": the left operand must be an operator node, whose operator is copied;
// the value is the right operand's. No expression of the service uses it.
class CAssignExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
