#pragma once

#include <cstddef>

#include "standard/multi_variant.h"
#include "standard/variant.h"

namespace osk {

class CExpEval;

// A node of a parsed expression tree. Trees are immutable once built and
// shared between threads, so evaluation writes into the caller's variables
// and never into the node.
class CNodeBase {
public:
    explicit CNodeBase(const CExpEval* evaluator) : _evaluator(evaluator) {}
    virtual ~CNodeBase() = default;
    CNodeBase(const CNodeBase&) = delete;
    CNodeBase& operator=(const CNodeBase&) = delete;

    // Evaluates the subtree into value; false when nothing was produced.
    virtual bool interpret(CVariant& value) const = 0;
    // Every value the subtree produces: a function call gives its handler's
    // whole result list, any other node its one value.
    virtual bool interpretAll(CMultiVariant& results) const;

    // True for a terminal holding the name of the function being called.
    virtual bool isFunctionName() const { return false; }

    const CExpEval* evaluator() const { return _evaluator; }
    // Height of the subtree: 1 for a terminal.
    size_t depth() const { return _depth; }

protected:
    const CExpEval* _evaluator;
    size_t _depth = 1;
};

} // namespace osk
