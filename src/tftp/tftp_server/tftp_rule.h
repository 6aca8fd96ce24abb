#pragma once

#include <string>

#include "tftp/tftp_base/tftp_expression.h"

// A yes-or-no rule of the engine (access, overwrite): an expression of the
// configuration that must give a boolean for each request. A literal text
// is read by the boolean spellings ("true", "no", "1" and their kin), once,
// when the rule is set: a rule of "true" costs a request nothing. A literal
// that is no boolean stays an error of every request it decides, as an
// expression of the wrong type is.
class CTFTPRule {
public:
    CTFTPRule(CTFTPEval& evaluator, const std::string& text);

    // Parses text (malformed expressions throw osk::CException).
    CTFTPRule& operator=(const std::string& text);

    // The rule's answer for state; throws osk::CException when the result
    // cannot be had or is not a boolean.
    bool decide(const CStatePtr& state);

    const std::string& text() const { return _expression.text(); }

    // A boolean literal ("true"/"false", "yes"/"no", "on"/"off", "1"/"0",
    // any case); throws for any other text.
    static bool booleanLiteral(const std::string& text);

private:
    // What a literal text decides, read when the text is set.
    enum literal_t { notLiteral, literalTrue, literalFalse, literalNotBoolean };
    void _readLiteral();

    CTFTPExpression _expression;
    literal_t _literal = notLiteral;
};
