#include "extended/ext_file_target.h"

#include <mutex>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotEvaluate = "Cannot evaluate log file name '%1'.";
const char* const kNoEvaluator = "No expression evaluator is installed.";

std::mutex& evaluatorLock()
{
    static std::mutex lock;
    return lock;
}
CExtFileTarget::evaluator_t& evaluator()
{
    static CExtFileTarget::evaluator_t installed;
    return installed;
}
} // namespace

void CExtFileTarget::nameEvaluator(const evaluator_t& function)
{
    std::lock_guard<std::mutex> guard(evaluatorLock());
    evaluator() = function;
}

bool CExtFileTarget::hasNameEvaluator()
{
    std::lock_guard<std::mutex> guard(evaluatorLock());
    return static_cast<bool>(evaluator());
}

bool CExtFileTarget::isExpression(const std::string& name)
{
    return name.size() >= 2 && name.front() == '[' && name.back() == ']';
}

void CExtFileTarget::reconfigure(const std::string& setting)
{
    CFileTarget::reconfigure(setting);
    _fileName();
}

std::string CExtFileTarget::_fileName()
{
    return isExpression(_setting) ? _evaluateName(_setting) : _setting;
}

std::string CExtFileTarget::_evaluateName(const std::string& expression)
{
    evaluator_t function;
    {
        std::lock_guard<std::mutex> guard(evaluatorLock());
        function = evaluator();
    }
    if (!function)
        throw OSK_EXCEPTION(CMessage(kCannotEvaluate).pushs(expression), CMessage(kNoEvaluator),
                            "CExtFileTarget::_evaluateName", kModule);
    return function(expression);
}

} // namespace osk
