#pragma once

#include <functional>
#include <string>

#include "extended/file_target.h"

namespace osk {

// The file target of the log: its setting is a file name that may be an
// expression, written in square brackets ("[...]"), evaluated again for
// every entry (so a name can follow the date, for example). A setting
// without brackets is a literal path.
//
// Expressions are evaluated by _evaluateName(). Until an evaluator is
// installed (nameEvaluator(), done by the expression subsystem at start-up)
// a bracketed name is refused with "Cannot evaluate log file name '%1'." /
// "No expression evaluator is installed.".
class CExtFileTarget : public CFileTarget {
public:
    // Turns a bracketed expression (brackets included) into a file name.
    using evaluator_t = std::function<std::string(const std::string& expression)>;

    // Checks the name once, so a bad setting drops the target at
    // configuration rather than failing at every entry.
    void reconfigure(const std::string& setting) override;

    // The process-wide evaluator of bracketed names; empty to remove it.
    static void nameEvaluator(const evaluator_t& evaluator);
    static bool hasNameEvaluator();

    static bool isExpression(const std::string& name);

protected:
    std::string _fileName() override;
    // Evaluates a bracketed name; the default uses the installed evaluator.
    virtual std::string _evaluateName(const std::string& expression);
};

} // namespace osk
