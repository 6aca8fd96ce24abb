#include "exp_eval/log_name_evaluator.h"

#include <mutex>

#include "exp_eval/expression.h"
#include "extended/exception.h"
#include "extended/ext_file_target.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CLogNameEvaluator.
const char* const kCannotEvaluate = "Cannot evaluate log file name '%1'.";
const char* const kEmptyName = "The expression gives an empty file name.";

std::mutex& installLock()
{
    static std::mutex lock;
    return lock;
}
CLogNameEvaluator::evaluator_ptr& current()
{
    static CLogNameEvaluator::evaluator_ptr installed;
    return installed;
}
} // namespace

void CLogNameEvaluator::install(const evaluator_ptr& evaluator)
{
    std::lock_guard<std::mutex> guard(installLock());
    current() = evaluator;
    if (!evaluator) {
        CExtFileTarget::nameEvaluator(CExtFileTarget::evaluator_t());
        return;
    }
    // The function holds its own reference: a name being evaluated while
    // another evaluator is installed still has its evaluator.
    CExtFileTarget::nameEvaluator([evaluator](const std::string& expression) { return evaluate(*evaluator, expression); });
}

void CLogNameEvaluator::uninstall() { install(evaluator_ptr()); }

CLogNameEvaluator::evaluator_ptr CLogNameEvaluator::installed()
{
    std::lock_guard<std::mutex> guard(installLock());
    return current();
}

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
