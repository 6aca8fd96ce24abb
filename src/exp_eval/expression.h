#pragma once

#include <string>

#include "exp_eval/exp_eval.h"
#include "standard/multi_variant.h"

namespace osk {

// A value that may be computed: a text in square brackets is an expression,
// parsed once when assigned and evaluated by operator*(); any other text is
// a literal whose value is the text itself.
class CExpression {
public:
    explicit CExpression(const CExpEval& evaluator, const std::string& text = std::string());
    virtual ~CExpression() = default;
    CExpression(const CExpression&) = default;
    CExpression& operator=(const CExpression&) = default;

    // Replaces the text; an expression is parsed at once (malformed text
    // throws and leaves this object unchanged).
    CExpression& operator=(const std::string& text);

    // After trimming spaces: true unless the text begins with "[" and ends
    // with "]".
    static bool isLiteral(const std::string& text);
    bool isLiteral() const { return _tree.isNull(); }

    // Evaluates and returns the results (a literal gives its text). A
    // failure is recorded in the calling thread's exception facade and
    // thrown as "Cannot execute expression '%1'.".
    const CMultiVariant& operator*();
    // The results of the last evaluation.
    const CMultiVariant& results() const { return _results; }

    const std::string& text() const { return _text; }
    const CExpEval& evaluator() const { return *_evaluator; }
    // The postfix tokens of an expression; empty for a literal.
    std::string postfix() const;

    // Equal trees, or equal texts for literals.
    bool operator==(const CExpression& other) const;
    bool operator!=(const CExpression& other) const { return !(*this == other); }

protected:
    const CExpEval* _evaluator;
    std::string _text;
    CExpEval::tree_ptr _tree;
    CMultiVariant _results;
};

} // namespace osk
