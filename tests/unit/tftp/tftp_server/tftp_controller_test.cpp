// The controller's start sequence with the real plug-ins of the build tree:
// the local file system's descriptor manager (libzelvo_local_fs.so) and the
// remote console (libtftp_rconsole.so), loaded from beside the library.
#include "tftp/tftp_server/tftp_controller.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "exp_eval/log_name_evaluator.h"
#include "rconsole_base/rconsole_client.h"
#include "support/loopback_udp_client.h"
#include "support/temp_dir.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"
#include "tftp/tftp_server/tftp_server.h"
#include "tftp/tftp_server/udp_frontend.h"
#include "unit/extended/host_fixture.h"

namespace {

using test_support::TempDir;

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The controller with every log entry kept for the test.
class CRecordingController : public CTFTPController {
public:
    CRecordingController() : CTFTPController("zelvo-test") {}
    // The log thread calls syslog() until the log stops: stop it while the
    // entries it records into still exist.
    ~CRecordingController() override { stopLog(); }
    void syslog(uint32_t severity, const osk::CMessage& message, int errCode = 0) override
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _entries.push_back(message.formatted());
        }
        CTFTPController::syslog(severity, message, errCode);
    }
    size_t logged(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return static_cast<size_t>(std::count_if(_entries.begin(), _entries.end(), [&](const std::string& entry) {
            return entry.find(text) != std::string::npos;
        }));
    }

private:
    mutable std::mutex _mutex;
    std::vector<std::string> _entries;
};

// A manager that claims the local file system's name (and one of its own)
// and serves nothing.
class CClaimingManager : public CITFTPFDManager {
public:
    explicit CClaimingManager(int& shutdowns) : _shutdowns(shutdowns) {}
    std::string managerName() const override { return "claiming"; }
    void initManager() override {}
    void shutdownManager() override { ++_shutdowns; }
    std::vector<std::string> virtualFileSystems() const override { return {"file", "claimed"}; }
    bool usesVirtualRoot() const override { return true; }
    bool usesPreProcessor() const override { return true; }
    bool usesAccessControl() const override { return true; }
    bool usesOverwriteControl() const override { return true; }
    void setPathCreation(bool) override {}
    bool pathCreation() const override { return false; }
    void setUploadPerms(uint16_t) override {}
    uint16_t uploadPerms() const override { return 0; }
    CIDescriptor* openFile(CState&) override { return nullptr; }
    void closeFile(CIDescriptor*) override {}
    size_t writeBlock(CIDescriptor*, osk::CFileOffset, const char*, size_t) override { return 0; }
    size_t readBlock(char*, osk::CFileOffset, size_t, CIDescriptor*) override { return 0; }
    osk::CFileOffset fileSize(CIDescriptor*) override { return 0; }
    size_t fdCount() const override { return 0; }
    void normaliseName(const osk::CEndpoint&, const std::string&, std::string&) override {}

private:
    int& _shutdowns;
};

class CClaimingFactory : public CITFTPFDManagerFactory {
public:
    osk::CGeneralPtr<CITFTPFDManager> createFDManager(CITFTPController*) override
    {
        created = new CClaimingManager(shutdowns);
        return osk::CGeneralPtr<CITFTPFDManager>(created);
    }
    CClaimingManager* created = nullptr;
    int shutdowns = 0;
};

using CUdpClient = test_support::LoopbackUDPClient;

// Keeps the server index of every transfer event the engine publishes.
class CIndexRecordingPublisher : public CIUDPPublisher {
public:
    void publish(const osk::CAppEventPtr& event, uint32_t) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _indexes.push_back(event->serverIndex());
    }
    void subscribe(const osk::CEndpoint&, const std::string&, const std::string&) override {}
    void unsubscribe(const osk::CEndpoint&) override {}
    void archiveCount(osk::CStringMap&) const override {}
    void clearArchive() override {}
    std::vector<int64_t> indexes() const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _indexes;
    }

private:
    mutable std::mutex _mutex;
    std::vector<int64_t> _indexes;
};

std::string word(uint16_t value) { return std::string{char(value >> 8), char(value & 0xff)}; }

uint16_t freeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    socklen_t length = sizeof(local);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    ::close(fd);
    return ntohs(local.sin_port);
}

// A service part that records when the controller opens and closes it and
// what the controller had done by then.
class CRecordingPart : public CITFTPServicePart {
public:
    CRecordingPart(std::string name, std::vector<std::string>& events, bool fails = false)
        : _name(std::move(name)), _events(events), _fails(fails)
    {
    }
    std::string partName() const override { return _name; }
    void open(CITFTPController& controller) override
    {
        _controller = &controller;
        std::string port;
        const bool consoleListens = controller.getQueryResponse("query_rconsole_port", 19, port);
        _events.push_back("open " + _name + " plugins=" + std::to_string(controller.findAllPlugins().size()) +
                          (consoleListens ? " console" : ""));
        if (_fails)
            throw OSK_EXCEPTION(osk::CMessage("Cannot open part " + _name + "."), osk::CMessage(), "test", "test");
    }
    void close() noexcept override
    {
        _events.push_back("close " + _name +
                          (_controller ? " plugins=" + std::to_string(_controller->findAllPlugins().size()) : ""));
    }

private:
    std::string _name;
    std::vector<std::string>& _events;
    bool _fails;
    CITFTPController* _controller = nullptr;
};

class TFTPControllerTest : public ::testing::Test {
protected:
    TFTPControllerTest()
    {
        set("tftp.virtual_root", root.path());
        set("tftp.access.allow", "true");
        set("tftp.engine.listen_on", "127.0.0.1");
        set("tftp.engine.port", "0");
        set("tftp.timeout", "1s");
        set("system.storage.path", var.path());
        set("system.log.levels", "error");
        set("system.log.targets", "stdout");
        set("rconsole.listen_on", "127.0.0.1");
        set("rconsole.port", "0");
        set("system.plugins", "zelvo_local_fs, tftp_rconsole");
        controller.handleSignals(false);
    }
    ~TFTPControllerTest() override
    {
        if (_daemon.joinable()) {
            controller.stop();
            _daemon.join();
        }
    }

    void set(const std::string& key, const std::string& value) { controller.config()->set_string(key, value); }
    void serve()
    {
        controller.init();
        _daemon = std::thread([this] { controller.daemon(); });
    }
    void stop()
    {
        controller.stop();
        _daemon.join();
    }
    uint16_t requestPort()
    {
        return controller.server()->frontend()->binder().sockets().at(0)->local_endpoint().hbo_port();
    }
    osk::CException startFailure(bool serving = true)
    {
        return host_test::thrown([&] {
            if (serving)
                controller.init();
            else
                controller.initDryRun();
        });
    }

    TempDir root;
    TempDir var;
    CRecordingController controller;

private:
    std::thread _daemon;
};

TEST_F(TFTPControllerTest, PluginDirectoryIsTheDirectoryOfTheLibraryUnlessConfigured)
{
    // The build writes the plug-ins beside libtftp_rconsole.so.
    const std::string build = canonical(host_test::buildDir());
    EXPECT_EQ(build, controller.libDir());
    EXPECT_TRUE(host_test::exists(build + "/libzelvo_local_fs.so"));
    EXPECT_TRUE(host_test::exists(build + "/libtftp_rconsole.so"));

    // A configured directory replaces it; the plug-ins are not there.
    TempDir elsewhere;
    set("system.plugins.path", elsewhere.path());
    const osk::CException failure = startFailure(false);
    EXPECT_EQ(elsewhere.path(), controller.libDir());
    EXPECT_EQ("Cannot load the plugins named in 'system.plugins'.", failure.whatMsg().formatted());
    EXPECT_EQ("0 of the 2 plugins loaded; the log names the failures.", failure.whyMsg().formatted());
}

TEST_F(TFTPControllerTest, HostsTheDescriptorManagerAndTheConsoleAndStopsThem)
{
    std::ofstream(root / "boot.cfg") << "hello";
    serve();
    EXPECT_EQ(CITFTPController::tftpControllerType, controller.type());
    EXPECT_EQ(1u, controller.logged("The zelvo-test daemon is starting."));
    EXPECT_EQ(1u, controller.logged("Loaded 2 plugins: Local File System, Remote Console."));
    ASSERT_EQ(1u, controller.fdManagers().count("file"));
    std::string pong;
    EXPECT_TRUE(controller.getQueryResponse("query_ping", 10, pong));
    EXPECT_EQ("pong", pong);
    // No plug-in offers a UDP publisher: the service runs without one.
    EXPECT_TRUE(controller.findPluginTypes("CIUDPPublisherFactory").empty());

    // The private key is created on the first start, group-readable only.
    struct stat key {};
    ASSERT_EQ(0, ::stat((var / "private_key.bin").c_str(), &key));
    EXPECT_EQ(0660u, key.st_mode & 0777u);

    // A download through the plug-in's manager.
    CUdpClient client;
    client.send(requestPort(), word(1) + "boot.cfg" + '\0' + "octet" + '\0');
    std::string packet;
    uint16_t transferPort = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
    EXPECT_EQ(word(3) + word(1) + "hello", packet);
    client.send(transferPort, word(4) + word(1));

    // The console accepts this controller: the login is answered with the
    // service's greeting, and a command with an acknowledgement.
    std::string port;
    ASSERT_TRUE(controller.getQueryResponse("query_rconsole_port", 19, port));
    {
        CRConsoleClient console(10);
        console.connect("127.0.0.1", static_cast<uint16_t>(std::stoul(port)));
        EXPECT_NE(std::string::npos, console.login(" ", true).find("Connected to zelvo-test"));
        EXPECT_NE(std::string::npos, console.command({"info"}).find("code=ack"));
        console.quit();
    }

    stop();
    EXPECT_TRUE(controller.findAllPlugins().empty());
    EXPECT_TRUE(controller.fdManagers().empty());
    EXPECT_EQ(1u, controller.logged("Unloading plugin 'Remote Console'."));
    EXPECT_EQ(1u, controller.logged("The zelvo-test daemon has shut down."));
    CRConsoleClient late(2);
    EXPECT_THROW(late.connect("127.0.0.1", static_cast<uint16_t>(std::stoul(port))), osk::CException);
}

TEST_F(TFTPControllerTest, StartedAsAMasterControllerItRunsTheServicesOwnStart)
{
    osk::CMasterController& master = controller;
    EXPECT_EQ(0, master.init());
    ASSERT_NE(nullptr, controller.server());
    EXPECT_EQ(1u, controller.fdManagers().count("file"));
    EXPECT_NE(0u, requestPort());
    controller.cleanup();
    EXPECT_TRUE(controller.fdManagers().empty());
}

TEST_F(TFTPControllerTest, ServicePartsOpenOnceThePluginsAreLoadedAndCloseBeforeTheyAreUnloaded)
{
    std::vector<std::string> events;
    CRecordingPart first("first", events), second("second", events);
    controller.addServicePart(&first);
    controller.addServicePart(&second);
    serve();
    // Before the console runs, so that it never finds a part unopened.
    EXPECT_EQ((std::vector<std::string>{"open first plugins=2", "open second plugins=2"}), events);
    events.clear();
    stop();
    EXPECT_EQ((std::vector<std::string>{"close second plugins=2", "close first plugins=2"}), events);
    EXPECT_TRUE(controller.findAllPlugins().empty());
}

TEST_F(TFTPControllerTest, ADryRunOpensNoServicePart)
{
    std::vector<std::string> events;
    CRecordingPart part("part", events);
    controller.addServicePart(&part);
    controller.initDryRun();
    EXPECT_TRUE(events.empty());
    controller.cleanup();
    EXPECT_EQ((std::vector<std::string>{"close part"}), events);
}

TEST_F(TFTPControllerTest, AFailingServicePartStopsTheStartAndEveryPartIsClosed)
{
    std::vector<std::string> events;
    CRecordingPart first("first", events), failing("failing", events, true), never("never", events);
    controller.addServicePart(&first);
    controller.addServicePart(&failing);
    controller.addServicePart(&never);
    EXPECT_EQ("Cannot open part failing.", startFailure().whatMsg().formatted());
    EXPECT_EQ((std::vector<std::string>{"open first plugins=2", "open failing plugins=2", "close never",
                                        "close failing plugins=2", "close first plugins=2"}),
              events);
    EXPECT_TRUE(controller.findAllPlugins().empty());
}

TEST_F(TFTPControllerTest, LaterManagerWinsAContestedNameWithOneWarning)
{
    CClaimingFactory factory;
    controller.addFDManagerFactory(&factory);
    controller.initDryRun();
    ASSERT_NE(nullptr, factory.created);
    EXPECT_EQ(1u, controller.logged("Multiple descriptor managers are registered for virtual filesystem /'file'."));
    EXPECT_EQ(1u, controller.logged("Multiple descriptor managers are registered"));
    const CITFTPController::fd_manager_table& table = controller.fdManagers();
    ASSERT_EQ(2u, table.size());
    EXPECT_EQ(factory.created, table.at("file").get());
    EXPECT_EQ(factory.created, table.at("claimed").get());
    // The dry run ran no plug-in: the console is loaded but does not listen.
    EXPECT_EQ(1u, controller.findPluginTypes("CRConsole").size());
    std::string port;
    EXPECT_FALSE(controller.getQueryResponse("query_rconsole_port", 19, port));

    // The manager that lost its name is shut down with the others.
    controller.cleanup();
    EXPECT_EQ(1, factory.shutdowns);
}

TEST_F(TFTPControllerTest, WithoutADescriptorManagerTheStartStopsAndTheConsoleCloses)
{
    const uint16_t consolePort = freeTcpPort();
    set("rconsole.port", std::to_string(consolePort));
    set("system.plugins", "tftp_rconsole");
    const osk::CException failure = startFailure();
    EXPECT_EQ("No plugins support the descriptor manager interface.", failure.whatMsg().formatted());
    // The console had started; the failed start shut it down and unloaded it.
    EXPECT_EQ(1u, controller.logged("The remote console is listening on"));
    EXPECT_TRUE(controller.findAllPlugins().empty());
    CRConsoleClient console(2);
    EXPECT_THROW(console.connect("127.0.0.1", consolePort), osk::CException);
}

// The log task evaluates bracketed file names on its own thread while the
// engine evaluates its rules: the two never share an evaluator.
TEST_F(TFTPControllerTest, LogFileNamesHaveAnEvaluatorOfTheirOwn)
{
    std::ofstream(root / "boot.cfg") << "hello";
    set("system.log.levels", "info,error");
    set("system.log.targets", "file");
    set("system.log.target.file", "[\"" + var.path() + "/\" + $LCASE(\"DAEMON\") + \".log\"]");
    serve();
    const auto logEvaluator = osk::CLogNameEvaluator::installed();
    ASSERT_TRUE(logEvaluator);
    EXPECT_NE(static_cast<const osk::CExpEval*>(&controller.eval()), logEvaluator.get());
    EXPECT_EQ(nullptr, dynamic_cast<const CTFTPEval*>(logEvaluator.get()));

    // Transfers and log entries side by side.
    for (int i = 0; i < 3; ++i) {
        CUdpClient client;
        client.send(requestPort(), word(1) + "boot.cfg" + '\0' + "octet" + '\0');
        std::string packet;
        uint16_t transferPort = 0;
        ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
        client.send(transferPort, word(4) + word(1));
    }
    stop();
    std::ifstream file(var / "daemon.log");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("The zelvo-test daemon is starting.")) << text;
    // The controller's shutdown removed the log's evaluator.
    EXPECT_FALSE(osk::CLogNameEvaluator::installed());
}

TEST_F(TFTPControllerTest, NamedPluginThatIsMissingStopsTheStart)
{
    set("system.plugins", "zelvo_local_fs,no_such_plugin");
    const osk::CException failure = startFailure();
    EXPECT_EQ("Cannot load the plugins named in 'system.plugins'.", failure.whatMsg().formatted());
    EXPECT_EQ("1 of the 2 plugins loaded; the log names the failures.", failure.whyMsg().formatted());
    EXPECT_EQ(1u, controller.logged("Failed to load plugin 'no_such_plugin' with error"));
    EXPECT_TRUE(controller.findAllPlugins().empty());
}

TEST_F(TFTPControllerTest, UploadsGetTheConfiguredPermissionsWhateverTheUmask)
{
    const mode_t before = ::umask(077);
    set("tftp.upload.permissions", "416");  // octal 0640
    serve();
    CUdpClient client;
    client.send(requestPort(), word(2) + "up.bin" + '\0' + "octet" + '\0');
    std::string packet;
    uint16_t transferPort = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
    ASSERT_EQ(word(4) + word(0), packet);
    client.send(transferPort, word(3) + word(1) + "uploaded");
    ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
    EXPECT_EQ(word(4) + word(1), packet);
    stop();
    ::umask(before);

    struct stat uploaded {};
    ASSERT_EQ(0, ::stat((root / "up.bin").c_str(), &uploaded));
    EXPECT_EQ(0640u, uploaded.st_mode & 0777u);
    EXPECT_EQ("uploaded", test_support::readFile(root / "up.bin"));
}

TEST_F(TFTPControllerTest, LocalManagerGetsThePartialUploadSettingAndClearsCrashLeftovers)
{
    // A temporary that a crashed run recorded and never finished, and one it
    // kept on purpose.
    const std::string orphan = root / ".boot.cfg.upload-0123456789ab";
    const std::string kept = root / ".boot.cfg.upload-aaaaaaaaaaaa";
    std::ofstream(orphan) << "partial";
    std::ofstream(kept) << "partial";
    std::ofstream(var / "uploads.journal") << "+" << orphan << "\n+" << kept << "\n-" << kept << "\n";
    set("tftp.upload.delete_partial", "false");
    controller.initDryRun();
    ASSERT_EQ(1u, controller.fdManagers().count("file"));
    EXPECT_FALSE(controller.fdManagers().at("file")->deletePartialUploads());
    EXPECT_FALSE(host_test::exists(orphan));
    EXPECT_TRUE(host_test::exists(kept));
    EXPECT_EQ(1u, controller.logged("Removed '" + orphan +
                                    "', the temporary file of an upload that a crash interrupted."));
    controller.cleanup();

    // Partial uploads are deleted unless the configuration says otherwise.
    CRecordingController defaults;
    defaults.config()->set_string("tftp.virtual_root", root.path());
    defaults.config()->set_string("system.plugins", "zelvo_local_fs");
    defaults.config()->set_string("system.log.levels", "error");
    defaults.initDryRun();
    ASSERT_EQ(1u, defaults.fdManagers().count("file"));
    EXPECT_TRUE(defaults.fdManagers().at("file")->deletePartialUploads());
    defaults.cleanup();
}

TEST_F(TFTPControllerTest, QueuedUpdatesJoinTheConfigurationAtStartAndTheIndexReachesIdentityAndEvents)
{
    const std::string file = var / "zelvo.conf";
    controller.config()->fqpn(file);
    std::ofstream(var / "merge.conf") << "set system.index=7\nset tftp.max_retransmits=8\nadd tftp.timeout=9s\n"
                                      << "del tftp.engine.listen_on\nset tftp.engine.listen_on=127.0.0.1\n";
    std::ofstream(root / "boot.cfg") << "hello";
    auto* publisher = new CIndexRecordingPublisher;
    // The controller lets its publisher go when it stops; the test keeps it.
    const CIUDPPublisherFactory::publisher_ptr kept(publisher);
    controller.udpPublisher(kept);
    serve();

    // Merged, written to the configuration file, and the update file used up.
    EXPECT_EQ("8", controller.config()->get_string("tftp.max_retransmits", ""));
    EXPECT_EQ("1s", controller.config()->get_string("tftp.timeout", ""));
    EXPECT_FALSE(host_test::exists(var / "merge.conf"));
    const std::string written = test_support::readFile(file);
    EXPECT_NE(std::string::npos, written.find("system.index=7\n")) << written;
    EXPECT_NE(std::string::npos, written.find("tftp.max_retransmits=8\n")) << written;

    // The index is the server's identity and stamps its events.
    EXPECT_EQ(7, controller.serverIndex());
    osk::CStringMap info;
    controller.info(info);
    EXPECT_EQ("7", info.get_string("index", ""));
    CUdpClient client;
    client.send(requestPort(), word(1) + "boot.cfg" + '\0' + "octet" + '\0');
    std::string packet;
    uint16_t transferPort = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
    client.send(transferPort, word(4) + word(1));
    stop();
    const std::vector<int64_t> indexes = publisher->indexes();
    ASSERT_FALSE(indexes.empty());
    for (int64_t index : indexes) EXPECT_EQ(7, index);
}

TEST_F(TFTPControllerTest, ADryRunAppliesQueuedUpdatesWithoutTouchingTheFiles)
{
    const std::string file = var / "zelvo.conf";
    controller.config()->fqpn(file);
    std::ofstream(var / "merge.conf") << "set system.index=3\n";
    controller.initDryRun();
    EXPECT_EQ(3, controller.serverIndex());
    EXPECT_TRUE(host_test::exists(var / "merge.conf"));
    EXPECT_FALSE(host_test::exists(file));
}

TEST_F(TFTPControllerTest, MessageTranslationsNamedByTheConfigurationAreLoadedAtStart)
{
    std::ofstream(var / "messages.txt") << "id=1\nen_US=The %1 daemon is starting.\nde_DE=Der Dienst %1 startet.\n";
    set("system.msg.file", "messages.txt");
    set("system.msg.locale", "de_DE");
    controller.initDryRun();
    EXPECT_EQ("Der Dienst %1 startet.", controller.msgStore().tr("The %1 daemon is starting.", "de_DE"));
}

TEST_F(TFTPControllerTest, AMissingTranslationFileStopsTheStart)
{
    set("system.msg.file", "missing.txt");
    const osk::CException failure = startFailure(false);
    EXPECT_EQ("Cannot open message locale file '" + var.path() + "/missing.txt'.", failure.whatMsg().formatted());
}

} // namespace
