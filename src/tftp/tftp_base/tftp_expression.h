#pragma once

#include <string>

#include "exp_eval/expression.h"
#include "tftp/tftp_base/tftp_eval.h"

// An expression of the TFTP service (a virtual root, pre-processor, access
// or overwrite rule): parsed once from its text, evaluated per request for
// a transfer state. A literal text evaluates to itself.
class CTFTPExpression : public osk::CExpression {
public:
    explicit CTFTPExpression(CTFTPEval& evaluator, const std::string& text = std::string());

    CTFTPExpression& operator=(const std::string& text);

    // Sets the evaluator's state to state, evaluates and returns all results.
    const osk::CMultiVariant& evaluate(const CStatePtr& state);
    // The value (the top of the results) for state.
    osk::CVariant value(const CStatePtr& state);

    CTFTPEval& tftpEvaluator() const { return *_tftpEvaluator; }

private:
    CTFTPEval* _tftpEvaluator;
};
