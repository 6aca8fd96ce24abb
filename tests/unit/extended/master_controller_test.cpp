#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "support/thrown.h"
#include "test_controller.h"

namespace {

using test_support::failureOf;

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

TEST(MasterControllerTest, InfoNamesTheBuildAndTheServerIndex)
{
    CTestController controller;
    osk::CStringMap info;
    controller.info(info);
    for (const char* key : {"name", "version", "build", "platform", "index"}) EXPECT_TRUE(info.hasValue(key)) << key;
    EXPECT_EQ("Unidentified", info.get_string("index"));
    controller.serverIndex(12);
    EXPECT_EQ(12, controller.serverIndex());
    osk::CStringMap extra;
    extra.set_string("platform", "test-rig");
    controller.setInfo(extra);
    osk::CStringMap after;
    controller.info(after);
    EXPECT_EQ("12", after.get_string("index"));
    EXPECT_EQ("test-rig", after.get_string("platform"));
    EXPECT_EQ(info.get_string("name"), after.get_string("name"));
}

TEST(MasterControllerTest, InfoNameIsTheHostAndProductIsTheLibrary)
{
    CTestController controller;
    osk::CStringMap info;
    controller.info(info);
    char host[256] = {};
    ASSERT_EQ(0, ::gethostname(host, sizeof(host) - 1));
    EXPECT_EQ(host, info.get_string("name"));
    EXPECT_EQ("TFTP Zelvo", info.get_string("product"));
}

TEST(MasterControllerTest, QueryResponsesNeedTheirPrefix)
{
    CTestController controller;
    for (const char* bad : {"ping", "", "Query_x", "queryx", "configuration", " query_x"}) {
        EXPECT_EQ(std::string("Failed to register query '") + bad +
                      "'. / A registered query must begin with 'query_' or 'config_'.",
                  failureOf([&] { controller.registerQueryResponse(bad, "x"); }));
    }
    controller.registerQueryResponse("config_tftp", "port=69");
    controller.registerQueryResponse("query_ping", "pang");
    controller.registerQueryResponse("query_ping", "pong");
    controller.registerQueryResponse("query_", "bare");

    std::string out;
    const std::string datagram = "query_pingXYZ";
    EXPECT_TRUE(controller.getQueryResponse(datagram.data(), 10, out));
    EXPECT_EQ("pong", out);
    EXPECT_TRUE(controller.getQueryResponse("config_tftp", 11, out));
    EXPECT_EQ("port=69", out);
    EXPECT_TRUE(controller.getQueryResponse("query_", 6, out));
    EXPECT_EQ("bare", out);
    out = "untouched";
    EXPECT_FALSE(controller.getQueryResponse("query", 5, out));
    EXPECT_FALSE(controller.getQueryResponse("query_pin", 9, out));
    EXPECT_FALSE(controller.getQueryResponse("other_ping", 10, out));
    EXPECT_FALSE(controller.getQueryResponse(nullptr, 10, out));
    EXPECT_EQ("untouched", out);

    osk::CStringMap all;
    controller.getQueryResponses(all);
    EXPECT_EQ(3u, all.size());
    EXPECT_EQ("pong", all.get_string("query_ping"));

    controller.deregisterQueryResponse("query_ping");
    controller.deregisterQueryResponse("query_never");
    EXPECT_FALSE(controller.getQueryResponse("query_ping", 10, out));
    osk::CStringMap rest;
    controller.getQueryResponses(rest);
    EXPECT_EQ(2u, rest.size());
}

TEST(MasterControllerTest, QueryProvidersAnswerAfreshEachTime)
{
    CTestController controller;
    EXPECT_THROW(controller.registerQueryProvider("stats", [] { return std::string("x"); }), osk::CException);
    int asked = 0;
    controller.registerQueryProvider("query_count", [&asked] { return std::to_string(++asked); });
    std::string out;
    EXPECT_TRUE(controller.getQueryResponse("query_count", 11, out));
    EXPECT_EQ("1", out);
    EXPECT_TRUE(controller.getQueryResponse("query_count", 11, out));
    EXPECT_EQ("2", out);
    // Changing answers are not listed with the fixed ones.
    osk::CStringMap fixed;
    controller.getQueryResponses(fixed);
    EXPECT_EQ(0u, fixed.size());

    // A fixed answer and a provider of one name replace each other.
    controller.registerQueryResponse("query_count", "fixed");
    EXPECT_TRUE(controller.getQueryResponse("query_count", 11, out));
    EXPECT_EQ("fixed", out);
    controller.registerQueryProvider("query_count", [] { return std::string("made"); });
    EXPECT_TRUE(controller.getQueryResponse("query_count", 11, out));
    EXPECT_EQ("made", out);
    controller.getQueryResponses(fixed);
    EXPECT_EQ(0u, fixed.size());

    controller.deregisterQueryResponse("query_count");
    EXPECT_FALSE(controller.getQueryResponse("query_count", 11, out));
    EXPECT_EQ(2, asked);
}

} // namespace
