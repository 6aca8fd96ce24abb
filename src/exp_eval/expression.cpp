#include "exp_eval/expression.h"

#include <exception>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CExpression.
const char* const kCannotExecute = "Cannot execute expression '%1'.";
const char* const kDoesNotEvaluate = "Expression does not evaluate.";
} // namespace

CExpression::CExpression(const CExpEval& evaluator, const std::string& text) : _evaluator(&evaluator)
{
    *this = text;
}

CExpression& CExpression::operator=(const std::string& text)
{
    CExpEval::tree_ptr tree;
    if (!isLiteral(text)) tree = _evaluator->parse(text);
    _text = text;
    _tree = tree;
    _results.clear();
    return *this;
}

bool CExpression::isLiteral(const std::string& text)
{
    const std::string trimmed = CStringUtil::trim(text, CStringUtil::spaces);
    return !(trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']');
}

const CMultiVariant& CExpression::operator*()
{
    _results.clear();
    if (_tree.isNull()) {
        _results.push(CVariant(_text));
        return _results;
    }
    try {
        _evaluator->execute(_results, _tree);
    } catch (const CException& cause) {
        _results.clear();
        if (_evaluator->controller()) cause.record(_evaluator->controller()->exceptionFacade());
        throw OSK_EXCEPTION(CMessage(kCannotExecute).pushs(_text), CMessage(kDoesNotEvaluate),
                            "CExpression::operator*", kModule);
    } catch (const std::exception& cause) {
        // A failure outside the framework (allocation, library) is reported
        // the same way.
        _results.clear();
        if (_evaluator->controller())
            OSK_EXCEPTION(CMessage(cause.what()), CMessage(), "CExpression::operator*", kModule)
                .record(_evaluator->controller()->exceptionFacade());
        throw OSK_EXCEPTION(CMessage(kCannotExecute).pushs(_text), CMessage(kDoesNotEvaluate),
                            "CExpression::operator*", kModule);
    }
    return _results;
}

std::string CExpression::postfix() const { return _tree.isNull() ? std::string() : _tree->postfix(); }

bool CExpression::operator==(const CExpression& other) const
{
    if (_tree.isNull() || other._tree.isNull()) return _tree.isNull() && other._tree.isNull() && _text == other._text;
    return *_tree == *other._tree;
}

} // namespace osk
