#pragma once

#include "exp_eval/nonterminal_node.h"

// The two branches of "?": left when the condition holds, right otherwise.
// CConditionalExprNode evaluates one of them; on its own this node gives
// the left branch.
class CConditionalArgsNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
    bool interpretBranch(bool condition, osk::CVariant& value) const;
};
