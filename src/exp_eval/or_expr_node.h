#pragma once

#include "exp_eval/nonterminal_node.h"

// "||": the right operand is evaluated only when the left one is false.
class COrExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
