#pragma once

#include <memory>
#include <string>

namespace osk {

class CExpEval;

// Connects the log's file target to the expression language: once
// installed, a bracketed log file name ("[...]") is evaluated with
// osk::CExpression and the evaluator given here, and the text of its value
// is the file name.
//
// The evaluator installed here belongs to the log alone. The log task
// evaluates names on its own thread, so it must not share an evaluator
// whose context another thread replaces (the engine's, which is set for
// each transfer). The installation keeps the evaluator alive until
// uninstall() or the next install().
class CLogNameEvaluator {
public:
    using evaluator_ptr = std::shared_ptr<const CExpEval>;

    static void install(const evaluator_ptr& evaluator);
    static void uninstall();
    // The evaluator in use; empty when none is installed.
    static evaluator_ptr installed();
    // The file name of a bracketed expression; throws osk::CException when
    // the expression fails or its value has no text.
    static std::string evaluate(const CExpEval& evaluator, const std::string& expression);
};

} // namespace osk
