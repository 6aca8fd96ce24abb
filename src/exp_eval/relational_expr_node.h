#pragma once

#include "exp_eval/nonterminal_node.h"

// "<", "<=", ">", ">=", "==" and "!=", giving a boolean.
class CRelationalExprNode : public osk::CNonterminalNode {
public:
    using osk::CNonterminalNode::CNonterminalNode;
    bool interpret(osk::CVariant& value) const override;
};
