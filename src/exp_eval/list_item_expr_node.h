#pragma once

#include "exp_eval/nonterminal_node.h"
#include "standard/tracked_factory.h"

// One cell of a function's argument list: left is the argument, right the
// next cell; the end cell has neither. Argument lists can be long, so the
// chain is walked and destroyed iteratively, and the depth of a cell counts
// its argument only.
class CListItemExprNode : public osk::CNonterminalNode {
public:
    // The end cell.
    explicit CListItemExprNode(const osk::CExpEval* evaluator);
    CListItemExprNode(const osk::CExpEval* evaluator, node_ptr argument, osk::CTrackedPtr<CListItemExprNode> next);
    ~CListItemExprNode() override;

    bool isEnd() const { return !_left; }
    const osk::CNodeBase* argument() const { return _left.get(); }
    const CListItemExprNode* next() const { return static_cast<const CListItemExprNode*>(_right.get()); }

    // The argument's value (the end cell gives nothing).
    bool interpret(osk::CVariant& value) const override;
};
