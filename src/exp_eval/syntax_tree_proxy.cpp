#include "exp_eval/syntax_tree_proxy.h"

namespace osk {

std::string CSyntaxTreeProxy::postfix() const
{
    std::string text;
    for (const CToken& token : _postfix) {
        if (!text.empty()) text += ' ';
        text += token.string();
    }
    return text;
}

} // namespace osk
