#pragma once

#include <memory>
#include <string>
#include <vector>

#include "exp_eval/node_base.h"
#include "exp_eval/token.h"
#include "standard/tracked_factory.h"

namespace osk {

// A parsed expression: the root of its tree and the postfix token list it
// was built from. Immutable once built; evaluators share it through
// reference-counted pointers. Two proxies are equal when their postfix lists
// are.
class CSyntaxTreeProxy {
public:
    using token_list = std::vector<CToken>;

    CSyntaxTreeProxy(osk::CTrackedPtr<CNodeBase> root, token_list postfix)
        : _root(std::move(root)), _postfix(std::move(postfix))
    {
    }

    const CNodeBase* root() const { return _root.get(); }
    const token_list& postfixList() const { return _postfix; }
    // The tokens' texts joined by single spaces.
    std::string postfix() const;

    bool operator==(const CSyntaxTreeProxy& other) const { return _postfix == other._postfix; }
    bool operator!=(const CSyntaxTreeProxy& other) const { return !(*this == other); }

private:
    osk::CTrackedPtr<CNodeBase> _root;
    token_list _postfix;
};

} // namespace osk
