#include "exp_eval/parse_stack.h"

namespace osk {

CParseStack::node_ptr CParseStack::pop()
{
    if (_nodes.empty()) return nullptr;
    node_ptr node = std::move(_nodes.back());
    _nodes.pop_back();
    return node;
}

size_t CParseStack::findFunctionName() const
{
    for (size_t i = _nodes.size(); i > 0; --i)
        if (_nodes[i - 1]->isFunctionName()) return i - 1;
    return _nodes.size();
}

} // namespace osk
