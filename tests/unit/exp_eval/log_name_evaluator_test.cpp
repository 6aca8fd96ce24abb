#include "exp_eval/log_name_evaluator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
    osk::CLogNameEvaluator::install(std::make_shared<const osk::CExpEval>());
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
    EXPECT_FALSE(osk::CLogNameEvaluator::installed());
}

TEST(LogNameEvaluatorTest, TheInstallationOwnsItsEvaluator)
{
    std::weak_ptr<const osk::CExpEval> watch;
    {
        auto evaluator = std::make_shared<const osk::CExpEval>();
        watch = evaluator;
        osk::CLogNameEvaluator::install(evaluator);
    }
    // The caller's reference is gone; the log's evaluator lives on.
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(watch.lock(), osk::CLogNameEvaluator::installed());
    CProbeTarget target;
    target.reconfigure("[\"/tmp/\" + \"owned.log\"]");
    EXPECT_EQ("/tmp/owned.log", target.fileName());
    osk::CLogNameEvaluator::uninstall();
    EXPECT_TRUE(watch.expired());
}

// Names evaluated on one thread while another thread installs a new
// evaluator again and again: each evaluation keeps the evaluator it
// started with (a use after release shows under the sanitizers).
TEST(LogNameEvaluatorTest, ReinstallingDuringEvaluationIsSafe)
{
    osk::CLogNameEvaluator::install(std::make_shared<const osk::CExpEval>());
    std::atomic<bool> done{false};
    std::thread installer([&] {
        while (!done.load()) osk::CLogNameEvaluator::install(std::make_shared<const osk::CExpEval>());
    });
    CProbeTarget target;
    target.reconfigure("[$LCASE(\"/TMP/A\") + \".log\"]");
    for (int i = 0; i < 2000; ++i) ASSERT_EQ("/tmp/a.log", target.fileName());
    done.store(true);
    installer.join();
    osk::CLogNameEvaluator::uninstall();
}

} // namespace
