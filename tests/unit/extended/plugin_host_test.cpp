// The controller as plug-in host: loading libraries named by the
// configuration, dependency checks, opening, running in priority order,
// shutting down and unloading. The plug-ins are copies of the test fixture
// library (plugins/test_fixtures), each named after its file and steered by
// "test_plugin.<name>.<setting>" keys; each logs the calls it receives.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extended/config.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"
#include "tftp/tftp_interfaces/state.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

namespace {

using host_test::TempDir;

class PluginHostTest : public ::testing::Test {
protected:
    PluginHostTest() : config(new osk::CConfig("", "", ""))
    {
        controller.config(config);
        controller.libDir(lib.path());
    }
    ~PluginHostTest() override { controller.unloadPlugins(); }

    // Installs a copy of a fixture library as lib<name>.so.
    void install(const std::string& name, const std::string& fixture = "libzelvo_test_plugin.so")
    {
        host_test::writeFile(lib / ("lib" + name + ".so"),
                             host_test::readFile(host_test::pluginBuildDir("test_fixtures") + "/" + fixture));
    }
    void set(const std::string& key, const std::string& value) { config->set_string(key, value); }
    void setting(const std::string& plugin, const std::string& key, const std::string& value)
    {
        set("test_plugin." + plugin + "." + key, value);
    }

    // The calls the fixture plug-ins logged, in order: "alpha run", ...
    std::vector<std::string> calls() const
    {
        const std::string prefix = "debug: fixture ";
        std::vector<std::string> found;
        for (const std::string& entry : controller.entries())
            if (entry.compare(0, prefix.size(), prefix) == 0) found.push_back(entry.substr(prefix.size()));
        return found;
    }
    // The log entries without the fixture's own.
    std::vector<std::string> hostEntries() const
    {
        std::vector<std::string> found;
        for (const std::string& entry : controller.entries())
            if (entry.find("fixture ") == std::string::npos) found.push_back(entry);
        return found;
    }
    std::vector<std::string> names(const CPlugin::plugin_list_t& plugins) const
    {
        std::vector<std::string> found;
        for (const CPlugin* plugin : plugins) found.push_back(plugin->pluginName());
        return found;
    }
    std::vector<std::string> loaded() const { return names(controller.findAllPlugins()); }

    TempDir lib;
    zelvo_test::CTestController controller;
    osk::CConfigPtr config;
};

using Names = std::vector<std::string>;

TEST_F(PluginHostTest, LoadsTheNamedLibrariesOfTheLibraryDirectory)
{
    install("alpha");
    install("beta");
    install("unused");
    host_test::writeFile(lib / "readme.txt", "not a library");
    set("system.plugins", " alpha ,libbeta.so,");

    controller.loadPlugins(config);
    EXPECT_EQ((Names{"info: Scanning for plugins in '" + lib.path() + "'.", "info: Found 3 available plugins."}),
              hostEntries());
    ASSERT_EQ((Names{"alpha", "beta"}), loaded());
    EXPECT_EQ((Names{"alpha open", "beta open"}), calls());
    for (CPlugin* plugin : controller.findAllPlugins()) {
        EXPECT_EQ(&controller, plugin->controller());
        EXPECT_NE(nullptr, plugin->handle());
    }

    controller.reportPlugins();
    EXPECT_EQ(1u, controller.countContaining("info: Loaded 2 plugins: alpha, beta."));

    controller.unloadPlugins();
    EXPECT_TRUE(loaded().empty());
    EXPECT_EQ(1u, controller.countContaining("info: Unloading plugin 'alpha'."));
    EXPECT_EQ(1u, controller.countContaining("info: Unloading plugin 'beta'."));
    // The destroyer of each library ran; unloading twice does nothing more.
    EXPECT_EQ((Names{"alpha open", "beta open", "beta destroyed", "alpha destroyed"}), calls());
    controller.unloadPlugins();
    EXPECT_EQ(4u, calls().size());
}

TEST_F(PluginHostTest, ANameThatHoldsAPathIsNeverLoaded)
{
    install("alpha");
    TempDir elsewhere;
    host_test::writeFile(elsewhere / "libevil.so",
                         host_test::readFile(host_test::pluginBuildDir("test_fixtures") + "/libzelvo_test_plugin.so"));
    const std::string outside = elsewhere / "libevil.so";
    set("system.plugins", outside + ",../" + lib.path() + "/libalpha.so,alpha");

    controller.loadPlugins(config);
    EXPECT_EQ((Names{"alpha"}), loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Plugin name '" + outside + "' holds a path; plugins are loaded "
                                             "from '" + lib.path() + "' only."));
    EXPECT_EQ(2u, controller.countContaining("holds a path"));
}

TEST_F(PluginHostTest, NoPluginKeyAndAnUnreadableDirectoryLoadNothing)
{
    controller.libDir(lib / "missing");
    controller.loadPlugins(config);
    EXPECT_TRUE(loaded().empty());
    EXPECT_EQ(1u, controller.countContaining("Found 0 available plugins."));
    controller.reportPlugins();
    EXPECT_EQ(1u, controller.countContaining("info: Loaded 0 plugins: ."));
}

TEST_F(PluginHostTest, LibrariesThatCannotBecomePluginsAreReportedAndSkipped)
{
    install("alpha");
    install("plain", "libzelvo_test_not_a_plugin.so");
    install("nullish");  // its creator returns nothing
    host_test::writeFile(lib / "libbroken.so", "this is no ELF file");
    set("system.plugins", "ghost,plain,nullish,broken,alpha");

    controller.loadPlugins(config);
    EXPECT_EQ(Names{"alpha"}, loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Failed to load plugin 'ghost' with error '"));
    EXPECT_EQ(1u, controller.countContaining("error: Failed to load plugin 'broken' with error '"));
    EXPECT_EQ(1u, controller.countContaining("error: Failed to resolve creator for plugin 'plain'."));
    EXPECT_EQ(1u, controller.countContaining("error: Failed to create plugin 'nullish'."));
}

TEST_F(PluginHostTest, ASecondPluginOfTheSameNameIsRefused)
{
    install("alpha");
    set("system.plugins", "alpha, libalpha.so");
    controller.loadPlugins(config);
    EXPECT_EQ(Names{"alpha"}, loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Plugin 'alpha' is already loaded."));
    // Dropping the duplicate left the first plug-in's library loaded.
    controller.runPlugins();
    EXPECT_EQ((Names{"alpha destroyed", "alpha open", "alpha run"}), calls());
}

TEST_F(PluginHostTest, ALaterLoadOpensOnlyItsOwnPlugins)
{
    install("alpha");
    install("beta");
    set("system.plugins", "alpha");
    controller.loadPlugins(config);
    set("system.plugins", "beta,alpha");
    controller.loadPlugins(config);
    EXPECT_EQ((Names{"alpha", "beta"}), loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Plugin 'alpha' is already loaded."));
    EXPECT_EQ((Names{"alpha open", "alpha destroyed", "beta open"}), calls());
}

TEST_F(PluginHostTest, PluginsWhoseRequiredInterfacesAreMissingAreUnloadedBeforeOpening)
{
    for (const char* name : {"alpha", "beta", "gamma", "delta", "self"}) install(name);
    set("system.plugins", "alpha,beta,gamma,delta,self");
    setting("alpha", "interface", "CAlpha");
    setting("alpha", "requires", "CIMissing");
    setting("beta", "requires", "CAlpha");  // lost with alpha
    setting("gamma", "requires", " CDelta ,CIOther");
    setting("delta", "interface", "CIOther, CDelta");
    setting("self", "interface", "CSelf");
    setting("self", "requires", "CSelf");  // a plug-in cannot satisfy itself

    controller.loadPlugins(config);
    EXPECT_EQ((Names{"gamma", "delta"}), loaded());
    EXPECT_EQ(1u, controller.countContaining(
                      "error: Dependency failure for plugin 'alpha'. This plugin requires: 'CIMissing'."));
    EXPECT_EQ(1u, controller.countContaining(
                      "error: Dependency failure for plugin 'beta'. This plugin requires: 'CAlpha'."));
    EXPECT_EQ(1u, controller.countContaining(
                      "error: Dependency failure for plugin 'self'. This plugin requires: 'CSelf'."));
    const Names opened = calls();
    EXPECT_EQ(0, std::count(opened.begin(), opened.end(), "alpha open"));
    EXPECT_EQ(1, std::count(opened.begin(), opened.end(), "gamma open"));
}

TEST_F(PluginHostTest, APluginThatFailsToOpenIsUnloadedAndTakesItsDependentsAlong)
{
    for (const char* name : {"alpha", "beta", "gamma", "delta"}) install(name);
    set("system.plugins", "alpha,beta,gamma,delta");
    setting("alpha", "interface", "CAlpha");
    setting("alpha", "open", "-1");
    setting("beta", "requires", "CAlpha");
    setting("gamma", "authorized", "false");
    setting("delta", "open", "1");  // only a negative result is a failure

    controller.loadPlugins(config);
    EXPECT_EQ(Names{"delta"}, loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Failed to initialize plugin 'alpha'."));
    EXPECT_EQ(1u, controller.countContaining("error: Failed to initialize plugin 'gamma'."));
    EXPECT_EQ(1u, controller.countContaining(
                      "error: Dependency failure for plugin 'beta'. This plugin requires: 'CAlpha'."));
    // beta had been opened before alpha's failure showed; it is closed first.
    EXPECT_EQ((Names{"alpha open", "alpha destroyed", "beta open", "gamma destroyed", "delta open", "beta close",
                     "beta destroyed"}),
              calls());
}

TEST_F(PluginHostTest, PluginsRunInAscendingPriorityAndShutDownInDescendingPriority)
{
    for (const char* name : {"alpha", "beta", "gamma", "delta"}) install(name);
    set("system.plugins", "alpha,beta,gamma,delta");
    setting("alpha", "priority", "200");
    setting("beta", "priority", "10");
    setting("gamma", "priority", "10");
    controller.loadPlugins(config);
    controller.runPlugins();
    controller.shutdownPlugins();

    Names order = calls();
    order.erase(order.begin(), order.begin() + 4);  // the four opens
    EXPECT_EQ((Names{"delta run", "beta run", "gamma run", "alpha run", "alpha shutdown", "gamma shutdown",
                     "beta shutdown", "delta shutdown", "alpha close", "gamma close", "beta close", "delta close"}),
              order);
    EXPECT_EQ(1u, controller.countContaining("info: Closing plugin 'gamma'."));
    // Shut-down plug-ins stay loaded until they are unloaded.
    EXPECT_EQ(4u, loaded().size());
}

TEST_F(PluginHostTest, APluginThatFailsToRunIsShutDownClosedAndUnloaded)
{
    for (const char* name : {"alpha", "beta", "gamma"}) install(name);
    set("system.plugins", "alpha,beta,gamma");
    setting("beta", "run", "3");
    controller.loadPlugins(config);
    controller.runPlugins();

    EXPECT_EQ((Names{"alpha", "gamma"}), loaded());
    EXPECT_EQ(1u, controller.countContaining("error: Failed to run plugin 'beta'. This plugin will be unloaded."));
    Names order = calls();
    order.erase(order.begin(), order.begin() + 3);
    // What a run started before it failed is stopped before the close.
    EXPECT_EQ((Names{"alpha run", "beta run", "beta shutdown", "beta close", "beta destroyed", "gamma run"}), order);
}

TEST_F(PluginHostTest, FindPluginTypesMatchesOneInterfaceOfACommaList)
{
    for (const char* name : {"alpha", "beta", "gamma"}) install(name);
    set("system.plugins", "alpha,beta,gamma");
    setting("alpha", "interface", "CITFTPFDManagerFactory, CIUDPPublisherFactory");
    setting("beta", "interface", "CIUDPPublisherFactory");
    controller.loadPlugins(config);

    EXPECT_EQ((Names{"alpha", "beta"}), names(controller.findPluginTypes("CIUDPPublisherFactory")));
    EXPECT_EQ(Names{"alpha"}, names(controller.findPluginTypes("CITFTPFDManagerFactory")));
    EXPECT_EQ(Names{"gamma"}, names(controller.findPluginTypes("CTestFixture")));
    EXPECT_TRUE(controller.findPluginTypes("CIUDP").empty());
    EXPECT_TRUE(controller.findPluginTypes("CITFTPFDManagerFactory, CIUDPPublisherFactory").empty());
    EXPECT_EQ(3u, controller.findAllPlugins().size());
}

TEST_F(PluginHostTest, ALibraryWithoutDestroyerStillHasItsPluginDeleted)
{
    install("nodestroy", "libzelvo_test_plugin_no_destroyer.so");
    set("system.plugins", "nodestroy");
    controller.loadPlugins(config);
    ASSERT_EQ(Names{"nodestroy"}, loaded());
    controller.unloadPlugins();
    EXPECT_TRUE(loaded().empty());
    EXPECT_EQ(1u, controller.countContaining("error: Failed to resolve destroyer for plugin 'nodestroy'."));
}

TEST_F(PluginHostTest, ControllerStartLoadsPluginsAfterReadingAndMergingTheConfiguration)
{
    TempDir var;
    install("alpha");
    host_test::writeFile(var / "zelvo.conf",
                         "system.plugins=alpha\nsystem.log.targets=stdout\nsystem.storage.path=" + var.path() + "\n");
    host_test::writeFile(var / "merge.conf", "set test_plugin.alpha.interface=CMerged\n");
    config->fqpn(var / "zelvo.conf");

    EXPECT_EQ(0, controller.init());
    EXPECT_EQ(var.path(), controller.varDir());
    EXPECT_FALSE(host_test::exists(var / "merge.conf"));
    EXPECT_EQ(Names{"alpha"}, names(controller.findPluginTypes("CMerged")));
    EXPECT_TRUE(host_test::exists(var / "private_key.bin"));
    const Names entries = hostEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ("info: Loaded 1 plugins: alpha.", entries.back());
    controller.stopLog();
}

TEST_F(PluginHostTest, ControllerStartFailsWithoutAConfigurationFile)
{
    config->fqpn(lib / "absent.conf");
    const osk::CException failure = host_test::thrown([&] { controller.init(); });
    EXPECT_EQ("Cannot read configuration file.", failure.whatMsg().formatted());
    EXPECT_EQ(ENOENT, failure.err_code());
}

// The real local file system plug-in: loaded from the build directory, found
// by its interface, and its manager serves a file.
TEST_F(PluginHostTest, LocalFileSystemModuleOffersAWorkingDescriptorManager)
{
    controller.libDir(host_test::buildDir());
    set("system.plugins", "zelvo_local_fs");
    controller.loadPlugins(config);
    const CPlugin::plugin_list_t factories = controller.findPluginTypes("CITFTPFDManagerFactory");
    ASSERT_EQ(1u, factories.size());
    EXPECT_EQ("Local File System", factories.front()->pluginName());
    auto* factory = dynamic_cast<CITFTPFDManagerFactory*>(factories.front());
    ASSERT_NE(nullptr, factory);

    TempDir root;
    const std::string content(700, 'z');
    host_test::writeFile(root / "boot.cfg", content);
    {
        osk::CGeneralPtr<CITFTPFDManager> manager = factory->createFDManager(nullptr);
        manager->initManager();
        EXPECT_EQ(std::vector<std::string>{"file"}, manager->virtualFileSystems());

        CState state(1, CState::send_data, osk::CEndpoint("10.0.0.9:4000"), 1000000, 512);
        state.transmitting = true;
        state.binary = true;
        state.reqFile = "boot.cfg";
        manager->normaliseName(state.srcEndpoint, root.path(), state.reqFile);
        state.fqpn = root.path() + state.reqFile;
        CIDescriptor* descriptor = manager->openFile(state);
        ASSERT_NE(nullptr, descriptor);
        EXPECT_EQ(1u, manager->fdCount());
        char block[512];
        ASSERT_EQ(512u, manager->readBlock(block, 0, sizeof(block), descriptor));
        std::string read(block, 512);
        ASSERT_EQ(188u, manager->readBlock(block, 512, sizeof(block), descriptor));
        read.append(block, 188);
        EXPECT_EQ(content, read);
        manager->closeFile(descriptor);
        EXPECT_EQ(0u, manager->fdCount());
        manager->shutdownManager();
    }  // the manager's code lives in the library: release it before unloading
    controller.unloadPlugins();
    EXPECT_EQ(1u, controller.countContaining("info: Unloading plugin 'Local File System'."));
}

} // namespace
