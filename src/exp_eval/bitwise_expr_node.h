#pragma once

#include "exp_eval/nonterminal_node.h"

// "&", "^" and "|" with the value operators of osk::CVariant.
class CBitwiseExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
