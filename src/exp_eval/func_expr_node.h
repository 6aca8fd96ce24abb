#pragma once

#include <memory>
#include <string>

#include "exp_eval/list_item_expr_node.h"
#include "exp_eval/nonterminal_node.h"
#include "standard/tracked_factory.h"

// A function call: left is the function-name terminal, right the chain of
// argument cells. The arguments are evaluated in source order and handed to
// the evaluator's handler with the first argument on top.
class CFuncExprNode : public osk::CNonterminalNode {
public:
    CFuncExprNode(const osk::CExpEval* evaluator, node_ptr name, osk::CTrackedPtr<CListItemExprNode> arguments);

    // The top of the handler's results.
    bool interpret(osk::CVariant& value) const override;
    // All of the handler's results.
    bool interpretAll(osk::CMultiVariant& results) const override;

    const std::string& name() const { return _name; }

private:
    std::string _name;
};
