#pragma once

#include <string>

namespace osk {

class CExpEval;

// Connects the log's file target to the expression language: once
// installed, a bracketed log file name ("[...]") is evaluated with
// osk::CExpression and the evaluator given here, and the text of its value
// is the file name. The controller installs it at start-up with its
// evaluator, which must outlive the installation.
class CLogNameEvaluator {
public:
    static void install(const CExpEval& evaluator);
    static void uninstall();
    // The file name of a bracketed expression; throws osk::CException when
    // the expression fails or its value has no text.
    static std::string evaluate(const CExpEval& evaluator, const std::string& expression);
};

} // namespace osk
