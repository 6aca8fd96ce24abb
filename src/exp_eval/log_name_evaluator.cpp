#include "exp_eval/log_name_evaluator.h"

#include "exp_eval/expression.h"
#include "extended/exception.h"
#include "extended/ext_file_target.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CLogNameEvaluator.
const char* const kCannotEvaluate = "Cannot evaluate log file name '%1'.";
const char* const kEmptyName = "The expression gives an empty file name.";
} // namespace

void CLogNameEvaluator::install(const CExpEval& evaluator)
{
    const CExpEval* used = &evaluator;
    CExtFileTarget::nameEvaluator([used](const std::string& expression) { return evaluate(*used, expression); });
}

void CLogNameEvaluator::uninstall() { CExtFileTarget::nameEvaluator(CExtFileTarget::evaluator_t()); }

std::string CLogNameEvaluator::evaluate(const CExpEval& evaluator, const std::string& expression)
{
    CExpression name(evaluator, expression);
    const std::string text = (*name).top().string();
    if (text.empty())
        throw OSK_EXCEPTION(CMessage(kCannotEvaluate).pushs(expression), CMessage(kEmptyName),
                            "CLogNameEvaluator::evaluate", kModule);
    return text;
}

} // namespace osk
