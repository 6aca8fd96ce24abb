#pragma once

#include "exp_eval/nonterminal_node.h"

// "?": left is the condition, right a CConditionalArgsNode with the two branches;
// only the selected branch is evaluated.
class CConditionalExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
