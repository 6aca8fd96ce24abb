#pragma once

#include "exp_eval/nonterminal_node.h"

// "!", unary "-" and "~" applied to the left operand (the right is empty).
class CUnaryExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
