#include "exp_eval/log_name_evaluator.h"

#include <gtest/gtest.h>

#include <string>

#include "exp_eval/exp_eval.h"
#include "extended/exception.h"
#include "extended/ext_file_target.h"

namespace {

// Exposes the file name the target would write to.
class CProbeTarget : public osk::CExtFileTarget {
public:
    std::string fileName() { return _fileName(); }
};

TEST(LogNameEvaluatorTest, BracketedNamesAreEvaluated)
{
    osk::CExpEval evaluator;
    osk::CLogNameEvaluator::install(evaluator);
    CProbeTarget target;
    target.reconfigure("[\"/tmp/zelvo-\" + $LCASE(\"LOG\") + \".txt\"]");
    EXPECT_EQ("/tmp/zelvo-log.txt", target.fileName());
    target.reconfigure("/tmp/plain.log");
    EXPECT_EQ("/tmp/plain.log", target.fileName());
    // A failing or empty name refuses the setting.
    EXPECT_THROW(target.reconfigure("[$NOSUCH()]"), osk::CException);
    EXPECT_THROW(target.reconfigure("[$UNKNOWN()]"), osk::CException);
    osk::CLogNameEvaluator::uninstall();
    EXPECT_FALSE(osk::CExtFileTarget::hasNameEvaluator());
}

} // namespace
