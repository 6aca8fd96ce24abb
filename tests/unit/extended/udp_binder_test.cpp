#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "extended/exception.h"
#include "extended/udp_binder.h"
#include "support/loopback_udp_client.h"
#include "unit/extended/test_controller.h"

namespace {

using osk::CEndpoint;
using osk::CUDPBinder;
// A loopback port bound without address reuse: nobody else can bind it while
// the holder is open.
using CPortHolder = test_support::LoopbackUDPClient;

TEST(UDPBinderTest, ListenEndpointsTakeTheDefaultPortUnlessTheyNameOne)
{
    EXPECT_EQ("1.2.3.4:69", CUDPBinder::parseListenEndpoint("1.2.3.4", 69).string());
    EXPECT_EQ("1.2.3.4:6969", CUDPBinder::parseListenEndpoint("1.2.3.4:6969", 69).string());
    EXPECT_EQ(69, CUDPBinder::parseListenEndpoint("1.2.3.4:0", 69).hbo_port());
    const CEndpoint bare = CUDPBinder::parseListenEndpoint("::1", 69);
    EXPECT_EQ("::1", bare.ip_address().string());
    EXPECT_EQ(69, bare.hbo_port());
    const CEndpoint bracketed = CUDPBinder::parseListenEndpoint("[::1]", 69);
    EXPECT_EQ("::1", bracketed.ip_address().string());
    EXPECT_EQ(69, bracketed.hbo_port());
    EXPECT_EQ(6969, CUDPBinder::parseListenEndpoint("[::1]:6969", 69).hbo_port());
    EXPECT_THROW(CUDPBinder::parseListenEndpoint("not-an-address", 69), osk::CException);
}

TEST(UDPBinderTest, APortInUseIsLoggedWithItsReasonAndTheOtherEndpointsStillBind)
{
    zelvo_test::CTestController controller;
    CPortHolder taken;
    CUDPBinder binder(&controller, "tftp");
    const std::string takenEndpoint = "127.0.0.1:" + std::to_string(taken.endpoint().hbo_port());

    // Separated by a comma, a semicolon and a blank; the last takes the
    // default port (0: one of the kernel's choosing).
    EXPECT_EQ(1u, binder.createSockets(takenEndpoint + ",nowhere; 127.0.0.1", 0));
    ASSERT_EQ(1u, binder.size());
    EXPECT_NE(taken.endpoint().hbo_port(), binder.sockets()[0]->local_endpoint().hbo_port());

    const std::string inUse = "error: The tftp frontend failed to create a socket for " + takenEndpoint + ".";
    EXPECT_EQ(1u, controller.countContaining(inUse));
    EXPECT_EQ(EADDRINUSE, controller.errCodeOf(inUse));
    EXPECT_EQ(1u, controller.countContaining("error: The tftp frontend failed to create a socket for nowhere."));
    EXPECT_EQ(1u, controller.countContaining("info: The tftp frontend is listening on 127.0.0.1:"));
    EXPECT_EQ(0u, controller.countContaining("Failed to create any daemon sockets."));
}

TEST(UDPBinderTest, NoSocketAtAllIsLoggedOnce)
{
    zelvo_test::CTestController controller;
    CPortHolder taken;
    CUDPBinder binder(&controller, "tftp");

    EXPECT_EQ(0u, binder.createSockets("127.0.0.1", taken.endpoint().hbo_port()));
    EXPECT_EQ(0u, binder.size());
    EXPECT_EQ(EADDRINUSE, controller.errCodeOf("failed to create a socket for 127.0.0.1."));
    EXPECT_EQ(1u, controller.countContaining("error: Failed to create any daemon sockets."));
}

} // namespace
