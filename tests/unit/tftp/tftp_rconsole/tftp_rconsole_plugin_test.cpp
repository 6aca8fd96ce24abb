#include <gtest/gtest.h>
#include <ace/Init_ACE.h>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "rconsole_base/rconsole.h"
#include "standard/mem_track.h"
#include "tftp/tftp_rconsole/plugin_entry.h"
#include "tftp/tftp_rconsole/tftp_rconsole_handler.h"
#include "unit/rconsole_base/console_test_support.h"

using namespace zelvo_test;

namespace {

// The host's own hold on ACE for the whole test program, as the daemon has:
// the plug-in's entry points add and drop one reference each.
class CHostAceReference : public ::testing::Environment {
public:
    void SetUp() override { ACE::init(); }
    void TearDown() override { ACE::fini(); }
};
const ::testing::Environment* const hostAce = ::testing::AddGlobalTestEnvironment(new CHostAceReference);

using CConsolePlugin = CRConsole<CTFTPRConsoleHandler>;

// The plug-in on a test controller of the TFTP service.
class TFTPRConsolePluginRun : public ::testing::Test {
protected:
    void SetUp() override { plugin.controller(&controller); }
    void clear() { controller.config()->set_bool("rconsole.encryption", false); }

    CConsoleTestController controller{"tftp"};
    CConsolePlugin plugin;
};

TEST(TFTPRConsolePlugin, EntryPointsAreExportedUnmangled)
{
    void* self = ::dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(self, nullptr);
    auto creator = reinterpret_cast<plugin_creator_t>(::dlsym(self, "pluginCreator"));
    auto destroyer = reinterpret_cast<plugin_destroyer_t>(::dlsym(self, "pluginDestroyer"));
    ::dlclose(self);
    ASSERT_NE(creator, nullptr);
    ASSERT_NE(destroyer, nullptr);

    CMemTrack::enabled(true);
    CPlugin* plugin = creator();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(CMemTrack::allocated().count(plugin), 1u);
    EXPECT_EQ(plugin->pluginName(), "Remote Console");
    EXPECT_EQ(plugin->pluginInterface(), "CRConsole");
    EXPECT_EQ(plugin->requiredInterfaces(), "");
    EXPECT_EQ(plugin->runPriority(), 200);
    EXPECT_EQ(plugin->pluginMode(), 0);
    EXPECT_EQ(plugin->openPlugin(), 0);
    EXPECT_TRUE(plugin->authorized(CPlugin::plugin_list_t{plugin}));
    EXPECT_EQ(plugin->controller(), nullptr);
    EXPECT_EQ(plugin->handle(), nullptr);
    destroyer(plugin);
    EXPECT_EQ(CMemTrack::allocated().count(plugin), 0u);
    EXPECT_TRUE(CMemTrack::untracked().empty());
    CMemTrack::enabled(false);
}

TEST(TFTPRConsolePlugin, DestroyerWithNullStillFinalisesAce)
{
    // In a child: with the host's reference and one more, a null destroy
    // must drop one, so the host's own fini is then the final one (0).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ACE::init();
        pluginDestroyer(nullptr);
        ::_exit(ACE::fini() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TFTPRConsolePlugin, InterfaceMatchingTrimsOnlyThePluginsOwnPieces)
{
    CConsolePlugin plugin;
    EXPECT_TRUE(plugin.conformsToInterface("CRConsole"));
    EXPECT_FALSE(plugin.conformsToInterface(" CRConsole"));
    EXPECT_FALSE(plugin.conformsToInterface("CPlugin"));
}

TEST_F(TFTPRConsolePluginRun, ShutdownWithoutRunAndTwiceDoesNothing)
{
    plugin.shutdownPlugin();
    EXPECT_EQ(plugin.acceptor(), nullptr);
    clear();
    ASSERT_EQ(plugin.runPlugin(), 0);
    EXPECT_NE(plugin.acceptor(), nullptr);
    plugin.shutdownPlugin();
    EXPECT_EQ(plugin.acceptor(), nullptr);
    plugin.shutdownPlugin();
    EXPECT_EQ(plugin.acceptor(), nullptr);
}

TEST_F(TFTPRConsolePluginRun, NoOpenableEndpointMakesRunReturnTwo)
{
    // TEST-NET addresses are not on this host.
    controller.config()->set_string("rconsole.listen_on", "192.0.2.1:0,not-an-endpoint");
    EXPECT_EQ(plugin.runPlugin(), 2);
    EXPECT_EQ(controller.countContaining("The remote console failed to listen on '192.0.2.1:0'."), 1u);
    EXPECT_EQ(controller.countContaining("The remote console failed to listen on 'not-an-endpoint'."), 1u);
    plugin.shutdownPlugin();
    EXPECT_EQ(plugin.acceptor(), nullptr);
}

TEST_F(TFTPRConsolePluginRun, ListensOnEveryEndpointAndPublishesTheFirstPort)
{
    controller.config()->set_string("rconsole.listen_on", "127.0.0.1, 192.0.2.1:0,127.0.0.1:0");
    clear();
    ASSERT_EQ(plugin.runPlugin(), 0);
    const auto& endpoints = plugin.acceptor()->endpoints();
    ASSERT_EQ(endpoints.size(), 2u) << ::testing::PrintToString(controller.entries());
    std::string published;
    ASSERT_TRUE(controller.getQueryResponse("query_rconsole_port", 19, published));
    EXPECT_EQ(published, std::to_string(endpoints[0].hbo_port()) + ",clear");
    std::string config;
    ASSERT_TRUE(controller.getQueryResponse("config_port", 11, config));
    EXPECT_EQ(config, published);
    plugin.shutdownPlugin();
}

TEST_F(TFTPRConsolePluginRun, TFTPControllerGetsTheServiceGreeting)
{
    clear();
    ASSERT_EQ(plugin.runPlugin(), 0);
    {
        CRawConsole console;
        ASSERT_TRUE(console.connect(controller.consolePort()));
        // The greeting names the application and the host it runs on.
        char host[256] = {};
        ASSERT_EQ(0, ::gethostname(host, sizeof(host) - 1));
        EXPECT_EQ(console.greeting(),
                  "Connected to zelvo-test on " + std::string(host) + ". Use <exit> to disconnect.\n\n");
        // Encryption off: the session is the administrator.
        EXPECT_EQ(console.command("set_memtrack\n\n"), "memtrack=false\ncode=ack\n\n");
        const std::string help = console.command("help\n\n");
        EXPECT_NE(help.find("info\n"), std::string::npos);
        EXPECT_NE(help.find("admin_password\n"), std::string::npos);
    }
    plugin.shutdownPlugin();
}

TEST_F(TFTPRConsolePluginRun, EncipheredAdministratorHasFullRights)
{
    ASSERT_EQ(plugin.runPlugin(), 0);
    {
        CRawConsole console;
        ASSERT_TRUE(console.connect(controller.consolePort()));
        ASSERT_TRUE(console.login(" "));
        EXPECT_NE(console.greeting().find("Use <exit> to disconnect."), std::string::npos);
        EXPECT_EQ(console.command("set_memtrack\n\n"), "memtrack=false\ncode=ack\n\n");
    }
    plugin.shutdownPlugin();
}

TEST(TFTPRConsolePlugin, OtherControllersAreRefused)
{
    CConsoleTestController controller("test");
    controller.config()->set_bool("rconsole.encryption", false);
    CConsolePlugin plugin;
    plugin.controller(&controller);
    ASSERT_EQ(plugin.runPlugin(), 0);
    CRawConsole console;
    ASSERT_TRUE(console.connect(controller.consolePort()));
    EXPECT_TRUE(console.waitClosed());
    EXPECT_EQ(controller.waitForLog("This remote console plugin only functions with the Quandor TFTP service."),
              1u);
    EXPECT_EQ(controller.waitForLog("Failed to initialize a remote console connection while servicing peer"),
              1u);
    plugin.shutdownPlugin();
}

TEST_F(TFTPRConsolePluginRun, ShutdownClosesLiveConsoles)
{
    const size_t before = threadCount();
    clear();
    ASSERT_EQ(plugin.runPlugin(), 0);
    std::vector<std::unique_ptr<CRawConsole>> consoles;
    for (int i = 0; i < 5; ++i) {
        consoles.emplace_back(new CRawConsole);
        ASSERT_TRUE(consoles.back()->connect(controller.consolePort()));
        ASSERT_FALSE(consoles.back()->greeting().empty());
    }
    // One leaves on its own just before the shutdown.
    consoles[0]->send("quit\n\n");
    plugin.shutdownPlugin();
    for (size_t i = 1; i < consoles.size(); ++i) EXPECT_TRUE(consoles[i]->waitClosed());
    EXPECT_EQ(threadCount(), before);
}

} // namespace

namespace {

// A port that was free a moment ago.
uint16_t freePort()
{
    ACE_SOCK_Acceptor probe;
    ACE_INET_Addr any(static_cast<u_short>(0), "127.0.0.1");
    if (probe.open(any, 1) != 0) return 0;
    ACE_INET_Addr bound;
    probe.get_local_addr(bound);
    const uint16_t port = bound.get_port_number();
    probe.close();
    return port;
}

TEST_F(TFTPRConsolePluginRun, AddressWithoutPortTakesTheConfiguredPort)
{
    const uint16_t configured = freePort();
    ASSERT_NE(configured, 0);
    controller.config()->set_string("rconsole.listen_on", "127.0.0.1,[::1]:0");
    controller.config()->set_uint16("rconsole.port", configured);
    ASSERT_EQ(plugin.runPlugin(), 0);
    const auto& endpoints = plugin.acceptor()->endpoints();
    ASSERT_GE(endpoints.size(), 1u);
    EXPECT_EQ(endpoints[0].hbo_port(), configured);
    EXPECT_EQ(controller.consolePort(), configured);
    plugin.shutdownPlugin();
}

} // namespace
