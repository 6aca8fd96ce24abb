#include <gtest/gtest.h>

#include <thread>

#include "test_controller.h"

namespace {

using zelvo_test::CTestController;

TEST(MasterControllerTest, DirectoriesDefaultFromTheApplicationName)
{
    CTestController controller;
    EXPECT_EQ("/usr/sbin", controller.binDir());
    EXPECT_EQ("/var/lib/zelvo-test", controller.varDir());
    EXPECT_EQ("/usr/lib64/zelvo-test", controller.libDir());
    EXPECT_EQ("/tmp", controller.tmpDir());
    EXPECT_EQ("/usr/share/zelvo-test", controller.shareDir());
    EXPECT_EQ("/var/lib/zelvo-test", controller.dbDir());

    CTestController configured;
    configured.varDir("/srv/zelvo");
    configured.tmpDir("/scratch");
    configured.libDir("/opt/zelvo/lib");
    EXPECT_EQ("/srv/zelvo", configured.varDir());
    EXPECT_EQ("/srv/zelvo", configured.dbDir());
    EXPECT_EQ("/scratch", configured.tmpDir());
    EXPECT_EQ("/opt/zelvo/lib", configured.libDir());
    configured.dbDir("/srv/db");
    EXPECT_EQ("/srv/db", configured.dbDir());
}

TEST(MasterControllerTest, SharedServerKeyIsSixteenFixedBytesUntilReplaced)
{
    CTestController a, b;
    EXPECT_EQ(16u, a.sharedServerKey().size());
    EXPECT_EQ(a.sharedServerKey(), b.sharedServerKey());
    osk::CMasterController::server_key_t key{};
    key[15] = 7;
    a.sharedServerKey(key);
    EXPECT_EQ(key, a.sharedServerKey());
    EXPECT_NE(key, b.sharedServerKey());
}

TEST(MasterControllerTest, ShutdownCompleteReleasesTheWaiter)
{
    CTestController controller;
    std::thread waiter([&] { EXPECT_EQ(0, controller.daemon()); });
    controller.stop();
    waiter.join();
    EXPECT_FALSE(controller.hostname().empty());
    EXPECT_FALSE(controller.keepResident());
    controller.keepResident(true);
    EXPECT_TRUE(controller.keepResident());
}

} // namespace
