#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "exp_eval/node_base.h"
#include "standard/tracked_factory.h"

namespace osk {

// The node stack of the tree builder: operands push terminal nodes,
// operators pop their operands and push the node they form.
class CParseStack {
public:
    using node_ptr = osk::CTrackedPtr<CNodeBase>;

    void push(node_ptr node) { _nodes.push_back(std::move(node)); }
    // Removes and returns the top node; null when the stack is empty.
    node_ptr pop();
    const CNodeBase* top() const { return _nodes.empty() ? nullptr : _nodes.back().get(); }
    size_t size() const { return _nodes.size(); }
    bool empty() const { return _nodes.empty(); }
    // Position (from the bottom) of the topmost function-name node; size()
    // when there is none.
    size_t findFunctionName() const;

private:
    std::vector<node_ptr> _nodes;
};

} // namespace osk
