#pragma once

#include <string>
#include <vector>

#include "extended/config_names.h"
#include "standard/string_map.h"

namespace osk {
class CExpEval;
}

// Checks configuration values against the rules of a key catalogue
// (CConfigRule): the service's start runs it over the whole configuration,
// a console's set_properties over the keys it is given, so a value the
// service cannot use is refused wherever it comes from, with the same words.
//
// Expressions are parsed with the evaluator given (parsing keeps no state in
// the evaluator, so one evaluator serves every thread).
class CTFTPConfigValidator {
public:
    CTFTPConfigValidator(const osk::CConfigNames& names, const osk::CExpEval& evaluator)
        : _names(names), _evaluator(evaluator)
    {
    }

    // Throws osk::CException "Cannot validate configuration key '<key>'."
    // with the reason when value breaks the key's rule. A key the catalogue
    // does not list passes: its reader (a plug-in) judges it.
    void check(const std::string& key, const std::string& value) const;
    // Every entry of config, in key order (the start of the service).
    void checkAll(const osk::CStringMap& config) const;

    // One finding of problems(): the key and what is wrong with it.
    struct CProblem {
        std::string key;
        std::string text;
    };
    // Every problem of config, in key order, instead of only the first: a
    // key the catalogue does not list ("Unrecognized key.") and each value
    // that breaks its key's rule. A key that begins with '#' is a comment
    // line the file format keeps as a key of its own; no reader ever looks
    // it up, so it is no problem.
    std::vector<CProblem> problems(const osk::CStringMap& config) const;

private:
    // The reason value breaks rule; empty when it keeps it.
    std::string _reason(const osk::CConfigRule& rule, const std::string& value) const;
    std::string _numberReason(const osk::CConfigRule& rule, const std::string& value) const;
    std::string _durationReason(const osk::CConfigRule& rule, const std::string& value) const;
    std::string _pluginsReason(const std::string& value) const;
    // For a text in square brackets, why it does not parse; for a text with
    // only one of the brackets, that it is not closed. Empty for a literal
    // and for an expression that parses.
    std::string _expressionReason(const std::string& value) const;
    std::string _decisionReason(const std::string& value) const;
    std::string _rootReason(const std::string& value) const;

    const osk::CConfigNames& _names;
    const osk::CExpEval& _evaluator;
};
