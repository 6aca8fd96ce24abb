#pragma once

#include <memory>

#include "exp_eval/node_base.h"
#include "exp_eval/operator.h"
#include "standard/tracked_factory.h"

namespace osk {

// A node with an operator and up to two children; its depth is one more than
// its deeper child's.
class CNonterminalNode : public CNodeBase {
public:
    using node_ptr = osk::CTrackedPtr<CNodeBase>;

    CNonterminalNode(const CExpEval* evaluator, const COperator& op, node_ptr left, node_ptr right);

    const COperator& getOperator() const { return _operator; }
    const CNodeBase* left() const { return _left.get(); }
    const CNodeBase* right() const { return _right.get(); }

protected:
    node_ptr _left;
    node_ptr _right;
    COperator _operator;
};

} // namespace osk
