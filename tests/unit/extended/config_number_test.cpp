#include "extended/config.h"

#include <gtest/gtest.h>

#include "extended/exception.h"
#include "support/temp_dir.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

// Unsigned settings read from a configuration file take digits alone: a
// sign is refused, "+" included, so "+5" cannot slip through as 5.
TEST(ConfigNumberTest, UnsignedSettingsRefuseASign)
{
    const test_support::TempDir dir;
    test_support::writeFile(dir / "zelvo.conf", "rconsole.port = +2000\nsystem.priv.uid=-0\ntftp.engine.port=\t69 \n");
    osk::CConfig config("1.0", "test", dir / "zelvo.conf");
    ASSERT_TRUE(config.read(""));

    EXPECT_EQ("Invalid format '+2000' appears signed.",
              thrown([&] { config.get_uint16("rconsole.port", uint16_t(0)); }).whyMsg().formatted());
    EXPECT_THROW(config.get_uint32("system.priv.uid"), osk::CException);
    EXPECT_EQ(69u, config.get_uint16("tftp.engine.port", uint16_t(0)));
    EXPECT_EQ(2000, config.get_int32("rconsole.port", 0));
}

} // namespace
