// The service's console commands, driven over a real console connection
// against a running TFTP controller and engine.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "rconsole_base/rconsole_acceptor.h"
#include "security/domain_id.h"
#include "security/rights_thrower.h"
#include "standard/guard.h"
#include "support/loopback_udp_client.h"
#include "support/test_fd_manager.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_rconsole/tftp_rconsole_handler.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "tftp/tftp_server/tftp_server.h"
#include "tftp/tftp_server/udp_frontend.h"
#include "unit/rconsole_base/console_test_support.h"

using zelvo_test::CRawConsole;

namespace {

// ---- a descriptor manager over plain files -------------------------------------

class CFileDescriptor : public CIDescriptor {
public:
    explicit CFileDescriptor(int fd) : fd(fd) {}
    ~CFileDescriptor() override { ::close(fd); }
    int fd;
};

class CFilesManager : public test_support::CTestFDManagerBase {
public:
    explicit CFilesManager(const std::string&) : CTestFDManagerBase("files", "file") {}
    // Two names for one manager: fd_count must count it once.
    std::vector<std::string> virtualFileSystems() const override { return {"file", "alias"}; }
    bool usesPreProcessor() const override { return false; }
    bool usesOverwriteControl() const override { return false; }
    void setPathCreation(bool on) override { createPaths = on; }
    bool pathCreation() const override { return createPaths; }
    CIDescriptor* openFile(CState& state) override
    {
        const int fd = ::open(state.fqpn.c_str(), O_RDONLY);
        if (fd < 0) throw failure("Cannot open.", errno);
        ++open;
        return new CFileDescriptor(fd);
    }
    void closeFile(CIDescriptor* descriptor) override
    {
        --open;
        delete descriptor;
    }
    size_t writeBlock(CIDescriptor*, osk::CFileOffset, const char*, size_t count) override { return count; }
    size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* d) override
    {
        const ssize_t n = ::pread(static_cast<CFileDescriptor*>(d)->fd, buffer, count, offset);
        return n < 0 ? 0 : static_cast<size_t>(n);
    }
    osk::CFileOffset fileSize(CIDescriptor* d) override
    {
        struct stat info;
        ::fstat(static_cast<CFileDescriptor*>(d)->fd, &info);
        return info.st_size;
    }
    size_t fdCount() const override { return static_cast<size_t>(open.load()); }

    std::atomic<int> open{0};
    std::atomic<bool> createPaths{false};
};

// ---- a publisher that records what the console asks of it -------------------------

class CFakePublisher : public CIUDPPublisher {
public:
    void publish(const osk::CAppEventPtr&, uint32_t) override {}
    void subscribe(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& eventClass) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("subscribe " + endpoint.string() + " tag=" + tag + " class=" + eventClass);
    }
    void unsubscribe(const osk::CEndpoint& endpoint) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("unsubscribe " + endpoint.string());
    }
    void archiveCount(osk::CStringMap& out) const override { out.set_string("archived", "17"); }
    void clearArchive() override
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("clear");
    }
    std::vector<std::string> taken()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }

    mutable std::mutex mutex;
    std::vector<std::string> calls;
};

// The service's handler; a session is made a non-administrator (a token
// without the administrators' domain) when the test asks for it.
class CSeamHandler : public CTFTPRConsoleHandler {
public:
    static std::atomic<bool> nonAdmin;
    using CTFTPRConsoleHandler::CTFTPRConsoleHandler;

protected:
    bool _authorized(osk::CHexStore& challenge, osk::CHexStore& response) override
    {
        if (!CTFTPRConsoleHandler::_authorized(challenge, response)) return false;
        if (nonAdmin) _setAccessToken(osk::CUserAccessToken());
        return true;
    }
};
std::atomic<bool> CSeamHandler::nonAdmin{false};

using CAcceptor = CRConsoleAcceptor<CSeamHandler>;

// ---- a raw TFTP client --------------------------------------------------------------

using CClient = test_support::LoopbackUDPClient;

std::string word(uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xff)}; }
std::string readRequest(const std::string& file) { return word(1) + file + '\0' + "octet" + '\0'; }
std::string ack(uint16_t block) { return word(4) + word(block); }
uint16_t opcodeOf(const std::string& p) { return p.size() < 2 ? 0 : (uint8_t(p[0]) << 8) | uint8_t(p[1]); }
uint16_t blockOf(const std::string& p) { return p.size() < 4 ? 0 : (uint8_t(p[2]) << 8) | uint8_t(p[3]); }

std::string messageOf(const std::string& reply) { return CRConsoleReplyReader::message(reply); }
std::string codeOf(const std::string& reply) { return CRConsoleReplyReader::code(reply); }
osk::CStringMap bodyOf(const std::string& reply) { return osk::CStringMap(CRConsoleReplyReader::body(reply), "\n", 0); }

// ---- the fixture ----------------------------------------------------------------------

class TFTPConsoleCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-console-cmds-XXXXXX";
        dir = ::mkdtemp(pattern);
        root = dir + "/root";
        ::mkdir(root.c_str(), 0755);
        CSeamHandler::nonAdmin = false;
    }
    void TearDown() override
    {
        c.reset();
        if (acceptor) acceptor->shutdown();
        acceptor.reset();
        if (controller) {
            controller->stop();
            if (engine.joinable()) engine.join();
            controller.reset();
        }
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    void start(bool withPublisher = true, bool encryption = false)
    {
        controller.reset(new CTFTPController("zelvo-test"));
        controller->handleSignals(false);
        controller->addFDManagerFactory(&factory);
        osk::CConfigPtr config = controller->config();
        config->fqpn(dir + "/zelvo.conf");
        const std::vector<std::pair<std::string, std::string>> keys = {
            {"tftp.virtual_root", root},          {"tftp.access.allow", "true"},
            {"tftp.engine.listen_on", "127.0.0.1"}, {"tftp.engine.port", "0"},
            {"tftp.timeout", "1s"},                 {"system.log.levels", "error"},
            {"rconsole.listen_on", "127.0.0.1:0"},  {"rconsole.private_key_path", dir},
        };
        for (const auto& key : keys) config->set_string(key.first, key.second);
        config->set_bool("rconsole.encryption", encryption);
        if (withPublisher) controller->udpPublisher(CIUDPPublisherFactory::publisher_ptr(publisher = new CFakePublisher));
        controller->init();
        requestPort = controller->server()->frontend()->binder().sockets().at(0)->local_endpoint().hbo_port();
        engine = std::thread([this] { controller->daemon(); });
        acceptor.reset(new CAcceptor(controller.get()));
        ASSERT_EQ(0, acceptor->run());
        std::string value;
        ASSERT_TRUE(controller->getQueryResponse("query_rconsole_port", 19, value));
        consolePort = static_cast<uint16_t>(std::strtoul(value.c_str(), nullptr, 10));
    }

    // Starts the service and connects c to its console.
    void open(bool withPublisher = true)
    {
        ASSERT_NO_FATAL_FAILURE(start(withPublisher));
        c = console();
        ASSERT_TRUE(c);
    }

    std::unique_ptr<CRawConsole> console()
    {
        std::unique_ptr<CRawConsole> c(new CRawConsole);
        if (!c->connect(consolePort) || c->greeting().empty()) return nullptr;
        return c;
    }

    void writeFile(const std::string& name, size_t size) { std::ofstream(root + "/" + name) << std::string(size, 'x'); }
    static std::string fileText(const std::string& path)
    {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    // The id of the client's running transfer (0 when none).
    uint64_t transferOf(const CClient& client)
    {
        osk::CGuard<osk::CNRMutex> guard(controller->server()->engineLock());
        CState state;
        return controller->server()->findTransfer(client.endpoint(), state) ? state.transferID : 0;
    }

    std::string dir;
    std::string root;
    test_support::CTestFDManagerFactory<CFilesManager> factory{""};
    CFakePublisher* publisher = nullptr;
    std::unique_ptr<CTFTPController> controller;
    std::unique_ptr<CAcceptor> acceptor;
    std::thread engine;
    std::unique_ptr<CRawConsole> c;
    uint16_t requestPort = 0;
    uint16_t consolePort = 0;
};

} // namespace

TEST_F(TFTPConsoleCommandsTest, HelpListsEveryWordInByteOrderWithTheObjectWordsOfEveryClass)
{
    ASSERT_NO_FATAL_FAILURE(open());
    const std::string reply = c->command("help\n\n");
    EXPECT_EQ("ack", codeOf(reply));
    std::vector<std::string> lines;
    std::istringstream body(CRConsoleReplyReader::body(reply));
    for (std::string line; std::getline(body, line);) lines.push_back(line);
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
    const std::set<std::string> words(lines.begin(), lines.end());
    for (const char* expected : {"abort", "archive_count", "clear_archive", "disable_encryption", "fd_count",
                                 "get_plugins", "get_properties", "get_session", "help", "info", "set_properties",
                                 "set_session", "stats", "subscribe", "subscribe_udp", "unsubscribe",
                                 "unsubscribe_udp", "unwatch", "watch"})
        EXPECT_EQ(1u, words.count(expected)) << expected;
    const osk::CStringMap info = bodyOf(c->command("info\n\n"));
    EXPECT_TRUE(info.defined("name"));
    EXPECT_TRUE(info.defined("version"));
    // Device accounts answer to two names and two short forms.
    for (const char* op : {"insert_", "delete_", "update_", "select_", "select_next_", "count_"})
        for (const char* name : {"account", "device_account", "access_control", "capability", "user_account",
                                 "user_role"})
            EXPECT_EQ(1u, words.count(op + std::string(name))) << op << name;
    for (const char* expected : {"ia", "ida", "da", "dda", "ua", "uda", "sa", "sda", "snxa", "snxda", "ca", "cda",
                                 "iac", "dac", "uac", "sac", "snxac", "cac", "ic", "dc", "uc", "sc", "snxc", "cc"})
        EXPECT_EQ(1u, words.count(expected)) << expected;
    // Stored queries: everybody selects, administrators write; their
    // groups are only selected.
    for (const char* expected : {"select_sql_query", "ssq", "select_next_sql_query", "snxsq", "select_sql_query_group",
                                 "ssqg", "select_next_sql_query_group", "snxsqg", "insert_sql_query",
                                 "update_sql_query", "delete_sql_query"})
        EXPECT_EQ(1u, words.count(expected)) << expected;
    for (const char* absent : {"count_sql_query", "isq", "insert_sql_query_group", "count_sql_query_group"})
        EXPECT_EQ(0u, words.count(absent)) << absent;
}

TEST_F(TFTPConsoleCommandsTest, GetPropertiesReturnsTheConfiguration)
{
    ASSERT_NO_FATAL_FAILURE(open());
    const std::string reply = c->command("get_properties\n\n");
    EXPECT_EQ("ack", codeOf(reply));
    EXPECT_EQ(root, bodyOf(reply).get_string("tftp.virtual_root", ""));
    EXPECT_EQ("127.0.0.1:0", bodyOf(reply).get_string("rconsole.listen_on", ""));
}

TEST_F(TFTPConsoleCommandsTest, SetPropertiesChecksRootAndPoliciesAndStoresNothingOnANak)
{
    ASSERT_NO_FATAL_FAILURE(open());
    writeFile("plain", 1);
    const std::string plain = root + "/plain";
    std::string reply = c->command("set_properties\ntftp.virtual_root=" + plain + "\ntftp.max_retransmits=9\n\n");
    EXPECT_EQ("nak", codeOf(reply));
    EXPECT_EQ("The virtual root path '" + plain + "' does not reference a directory.", messageOf(reply));
    EXPECT_EQ("", controller->config()->get_string("tftp.max_retransmits", ""));

    reply = c->command("set_properties\ntftp.virtual_root=" + dir + "/missing\n\n");
    EXPECT_EQ("Cannot verify the virtual root path. The system error is: " + std::string(std::strerror(ENOENT)),
              messageOf(reply));

    reply = c->command("set_properties\ntftp.virtual_root=[ $NOSUCH( ]\n\n");
    EXPECT_EQ("nak", codeOf(reply));
    EXPECT_EQ(0u, messageOf(reply).find("Error setting the virtual root: ")) << reply;
    reply = c->command("set_properties\ntftp.access.allow=[ 1 + ]\n\n");
    EXPECT_EQ(0u, messageOf(reply).find("Error setting the Access Policy: ")) << reply;
    reply = c->command("set_properties\ntftp.overwrite.allow=[ ( ]\n\n");
    EXPECT_EQ(0u, messageOf(reply).find("Error setting the Overwrite Policy: ")) << reply;
    EXPECT_EQ(root, controller->config()->get_string("tftp.virtual_root", ""));
    EXPECT_EQ("true", controller->config()->get_string("tftp.access.allow", ""));
}

TEST_F(TFTPConsoleCommandsTest, SetPropertiesRefusesValuesTheServiceCannotUseNamingTheKey)
{
    ASSERT_NO_FATAL_FAILURE(open());
    const std::pair<const char*, const char*> refused[] = {
        {"tftp.virtual_root=/", "tftp.virtual_root"},
        // A legacy name is checked as the key it stands for.
        {"virtual_root=/", "tftp.virtual_root"},
        {"plugins=../../tmp/evil", "system.plugins"},
        {"tftp.access.allow=[ 1 +", "tftp.access.allow"},
        {"tftp.access.allow=sometimes", "tftp.access.allow"},
        {"tftp.engine.port=65536", "tftp.engine.port"},
        {"no.such.key=1", "no.such.key"},
    };
    for (const auto& entry : refused) {
        const std::string reply = c->command(std::string("set_properties\ntftp.max_retransmits=9\n") +
                                             entry.first + "\n\n");
        EXPECT_EQ("nak", codeOf(reply)) << entry.first;
        EXPECT_NE(std::string::npos, messageOf(reply).find(std::string("'") + entry.second + "'")) << reply;
    }
    osk::CConfigPtr config = controller->config();
    EXPECT_FALSE(config->defined("tftp.max_retransmits"));
    EXPECT_FALSE(config->defined("virtual_root"));
    EXPECT_EQ(root, config->get_string("tftp.virtual_root", ""));
    EXPECT_FALSE(config->defined("system.plugins"));

    // The directory plug-ins are loaded from is not the console's to move.
    const std::string reply = c->command("set_properties\nsystem.plugins.path=/tmp\ntftp.max_retransmits=9\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    EXPECT_FALSE(config->defined("system.plugins.path"));
}

TEST_F(TFTPConsoleCommandsTest, TurningEncryptionOffWaitsForARestartAndSaysSo)
{
    ASSERT_NO_FATAL_FAILURE(open());
    osk::CConfigPtr config = controller->config();
    config->set_string("rconsole.encryption", "true");
    std::string reply = c->command("set_properties\nrconsole.encryption=false\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    EXPECT_EQ("Stored. These keys take effect after a restart: rconsole.encryption.", messageOf(reply));
    EXPECT_EQ("true", config->get_string("rconsole.encryption", ""));
    const std::string written = fileText(dir + "/zelvo.conf");
    EXPECT_NE(std::string::npos, written.find("rconsole.encryption=false")) << written;

    // Turning it on again applies at once and drops the waiting change.
    reply = c->command("set_properties\nrconsole.encryption=true\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    EXPECT_EQ("true", config->get_string("rconsole.encryption", ""));
    EXPECT_TRUE(config->staged().empty());
}

TEST_F(TFTPConsoleCommandsTest, SetPropertiesIgnoresProtectedKeysAndWritesTheRest)
{
    ASSERT_NO_FATAL_FAILURE(open());
    const std::string reply = c->command(
        "set_properties\nrconsole.password=stolen\nsystem.priv.uid=0\nsystem.priv.chroot_path=/\n"
        "tftp.max_retransmits=9\ntftp.upload.create_paths=true\ntftp.virtual_root=" +
        dir + "\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    EXPECT_EQ("Stored. These keys take effect after a restart: tftp.max_retransmits, tftp.virtual_root.",
              messageOf(reply));
    osk::CConfigPtr config = controller->config();
    EXPECT_EQ("9", config->get_string("tftp.max_retransmits", ""));
    EXPECT_EQ(dir, config->get_string("tftp.virtual_root", ""));
    EXPECT_FALSE(config->defined("rconsole.password"));
    EXPECT_FALSE(config->defined("system.priv.uid"));
    EXPECT_FALSE(config->defined("system.priv.chroot_path"));
    EXPECT_FALSE(config->defined("set_properties"));
    EXPECT_TRUE(factory.manager->createPaths.load());
    const std::string written = fileText(dir + "/zelvo.conf");
    EXPECT_NE(std::string::npos, written.find("tftp.max_retransmits=9"));
    EXPECT_EQ(std::string::npos, written.find("stolen"));
}

TEST_F(TFTPConsoleCommandsTest, SetPropertiesTellsWhichStoredKeysWaitForARestart)
{
    ASSERT_NO_FATAL_FAILURE(open());
    // Keys read again at each use: stored and in force, nothing to say. The
    // log now writes warnings to a file, so the new levels apply at once.
    const std::string log = dir + "/zelvo.log";
    std::string reply = c->command("set_properties\ntftp.max_connections=4\nsystem.log.targets=file\n"
                                   "system.log.target.file=" + log + "\nsystem.log.levels=error,warning\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    EXPECT_EQ("", messageOf(reply));

    reply = c->command("set_properties\ntftp.transfer_port=7000\ntftp.max_connections=5\ntftp.timeout=2s\n\n");
    EXPECT_EQ("ack", codeOf(reply)) << reply;
    const std::string notice = "Stored. These keys take effect after a restart: tftp.timeout, tftp.transfer_port.";
    EXPECT_EQ(notice, messageOf(reply));
    EXPECT_EQ("7000", controller->config()->get_string("tftp.transfer_port", ""));
    // The same words reach the log.
    std::string written;
    for (int attempt = 0; attempt < 100 && written.find(notice) == std::string::npos; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        written = fileText(log);
    }
    EXPECT_NE(std::string::npos, written.find("[warning]")) << written;
    EXPECT_NE(std::string::npos, written.find(notice)) << written;
}

TEST_F(TFTPConsoleCommandsTest, PublisherCommandsNeedThePlugin)
{
    ASSERT_NO_FATAL_FAILURE(open(false));
    for (const char* command : {"subscribe\nport=9000\n\n", "unsubscribe\nport=9000\n\n", "archive_count\n\n",
                                "clear_archive\n\n"}) {
        const std::string reply = c->command(command);
        EXPECT_EQ("nak", codeOf(reply)) << command;
        EXPECT_EQ("The publisher plugin is not loaded", messageOf(reply)) << command;
    }
}

TEST_F(TFTPConsoleCommandsTest, SubscribePassesEndpointTagAndClass)
{
    ASSERT_NO_FATAL_FAILURE(open());
    std::string reply = c->command("subscribe\n\n");
    EXPECT_EQ("Subscription requires a 'port=' setting.", messageOf(reply));
    reply = c->command("unsubscribe_udp\nendpoint=10.0.0.1\n\n");
    EXPECT_EQ("Unsubscribe requires a 'port=' setting.", messageOf(reply));
    reply = c->command("subscribe\nendpoint=not-an-address\nport=1\n\n");
    EXPECT_EQ("Endpoint 'not-an-address' is not does not contain a valid ip address.", messageOf(reply));
    EXPECT_TRUE(publisher->taken().empty());

    EXPECT_EQ("ack", codeOf(c->command("subscribe\nport=9000\ntag=me\nclass=transfer\n\n")));
    EXPECT_EQ("ack", codeOf(c->command("subscribe_udp\nendpoint=10.0.0.1:7000\n\n")));
    EXPECT_EQ("ack", codeOf(c->command("subscribe\nendpoint=[::1]:7001\n\n")));
    EXPECT_EQ("ack", codeOf(c->command("unsubscribe\nendpoint=10.0.0.1\nport=7000\n\n")));
    const std::vector<std::string> calls = publisher->taken();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("subscribe 127.0.0.1:9000 tag=me class=transfer", calls[0]);
    EXPECT_EQ("subscribe 10.0.0.1:7000 tag= class=", calls[1]);
    EXPECT_EQ("subscribe [::1]:7001 tag= class=", calls[2]);
    EXPECT_EQ("unsubscribe 10.0.0.1:7000", calls[3]);

    reply = c->command("archive_count\n\n");
    EXPECT_EQ("ack", codeOf(reply));
    EXPECT_EQ("17", bodyOf(reply).get_string("archived", ""));
    EXPECT_EQ("ack", codeOf(c->command("clear_archive\n\n")));
    EXPECT_EQ(std::vector<std::string>{"clear"}, publisher->taken());
}

TEST_F(TFTPConsoleCommandsTest, AbortEndsARunningTransferWithAnErrorPacket)
{
    ASSERT_NO_FATAL_FAILURE(open());
    std::string reply = c->command("abort\n\n");
    EXPECT_EQ("nak", codeOf(reply));
    EXPECT_EQ("No transfer id specified.", messageOf(reply));
    EXPECT_EQ("No such transfer id.", messageOf(c->command("abort\nid=999999\n\n")));
    EXPECT_EQ("No such transfer id.", messageOf(c->command("abort\nid=99999999999\n\n")));

    writeFile("slow.bin", 5000);
    CClient client;
    client.send(requestPort, readRequest("slow.bin"));
    std::string packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(3, opcodeOf(packet));
    const uint64_t id = transferOf(client);
    ASSERT_NE(0u, id);
    // An open file while the transfer runs.
    EXPECT_EQ("1", bodyOf(c->command("fd_count\n\n")).get_string("count", ""));

    EXPECT_EQ("ack", codeOf(c->command("abort\nid=" + std::to_string(id) + "\n\n")));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(0, blockOf(packet));
    EXPECT_EQ("Transfer aborted", std::string(packet.c_str() + 4));
    for (int i = 0; i < 100 && transferOf(client) != 0; ++i) ::usleep(20000);
    EXPECT_EQ(0u, transferOf(client));
    EXPECT_EQ("No such transfer id.", messageOf(c->command("abort\nid=" + std::to_string(id) + "\n\n")));
    EXPECT_EQ("0", bodyOf(c->command("fd_count\n\n")).get_string("count", ""));
}

TEST_F(TFTPConsoleCommandsTest, StatsAndTheStatsQueryTellTheSameCounts)
{
    ASSERT_NO_FATAL_FAILURE(open());
    writeFile("s.bin", 5000);
    CClient aborted, refused;
    std::string packet;
    aborted.send(requestPort, readRequest("s.bin"));
    ASSERT_TRUE(aborted.recv(packet, 3000));
    const uint64_t id = transferOf(aborted);
    ASSERT_NE(0u, id);
    EXPECT_EQ("1", bodyOf(c->command("stats\n\n")).get_string("active", ""));
    EXPECT_EQ("ack", codeOf(c->command("abort\nid=" + std::to_string(id) + "\n\n")));
    ASSERT_TRUE(aborted.recv(packet, 3000));
    refused.send(requestPort, readRequest("missing.bin"));
    ASSERT_TRUE(refused.recv(packet, 3000));
    EXPECT_EQ(5, opcodeOf(packet));
    for (int i = 0; i < 100 && transferOf(aborted) != 0; ++i) ::usleep(20000);

    const std::string reply = c->command("stats\n\n");
    EXPECT_EQ("ack", codeOf(reply));
    osk::CStringMap byConsole = bodyOf(reply);
    CClient asker;
    asker.send(requestPort, "query_stats");
    ASSERT_TRUE(asker.recv(packet, 3000));
    osk::CStringMap byQuery(packet, "\n");
    EXPECT_EQ("1", byConsole.get_string("aborted", ""));
    EXPECT_EQ("1", byConsole.get_string("refused", ""));
    EXPECT_EQ("2", byConsole.get_string("requests", ""));
    EXPECT_EQ("0", byConsole.get_string("active", ""));
    EXPECT_EQ("1", byConsole.get_string("fs.file.aborted", ""));
    EXPECT_EQ("512", byConsole.get_string("bytes_sent", ""));
    byConsole.erase("code");
    EXPECT_EQ(byConsole.string(), byQuery.string());
}

TEST_F(TFTPConsoleCommandsTest, NonAdministratorsGetTheSecurityText)
{
    CSeamHandler::nonAdmin = true;
    ASSERT_NO_FATAL_FAILURE(open());
    std::string expected;
    try {
        osk::CRightsThrower(osk::CDomainID::superUsersID(), osk::CUserAccessToken(), osk::CAccessRights::write);
    } catch (const osk::CException& e) {
        expected = e.printableError(&controller->msgStore(), controller->msgStore().defLocale());
    }
    ASSERT_FALSE(expected.empty());
    for (const char* command : {"set_properties\ntftp.max_retransmits=9\n\n", "clear_archive\n\n", "abort\nid=1\n\n"}) {
        const std::string reply = c->command(command);
        EXPECT_EQ("nak", codeOf(reply)) << command;
        EXPECT_EQ(expected, messageOf(reply)) << command;
    }
    EXPECT_EQ("", controller->config()->get_string("tftp.max_retransmits", ""));
    EXPECT_TRUE(publisher->taken().empty());
    // Reading needs no rights.
    EXPECT_EQ("ack", codeOf(c->command("archive_count\n\n")));
    EXPECT_EQ("ack", codeOf(c->command("fd_count\n\n")));
}

TEST_F(TFTPConsoleCommandsTest, DisableEncryptionAcksEncipheredThenSpeaksClear)
{
    osk::CBlowfish::create_key_file(dir, "private_key.bin");
    osk::CBlowfish keyed;
    keyed.init_from_file(dir, "private_key.bin", osk::CBlowfish::keyFileLength);
    osk::CHexStore stored(osk::CHexStore::inlineCapacity, "-");
    keyed.encrypt_string("secret", stored);
    stored.separator("-");
    start(true, true);
    controller->config()->set_string("rconsole.password", stored.string());
    CRawConsole c;
    ASSERT_TRUE(c.connect(consolePort));
    ASSERT_TRUE(c.login("secret"));
    ASSERT_FALSE(c.greeting().empty());
    EXPECT_EQ("ack", codeOf(c.command("disable_encryption\n\n")));
    c.encryption(false);
    EXPECT_EQ("ack", codeOf(c.command("fd_count\n\n")));
}

TEST_F(TFTPConsoleCommandsTest, SessionSettingsStartAtTheirDefaultsAndChange)
{
    ASSERT_NO_FATAL_FAILURE(open());
    osk::CStringMap session = bodyOf(c->command("get_session\n\n"));
    EXPECT_EQ("false", session.get_string("numeric", ""));
    EXPECT_EQ("packed", session.get_string("format", ""));
    EXPECT_EQ("en_US", session.get_string("locale", ""));
    EXPECT_TRUE(session.defined("access_token"));

    // The format is read without regard to case.
    const std::string changed = c->command("set_session\nnumeric=true\nformat=UNPACKED\n\n");
    EXPECT_EQ("ack", codeOf(changed));
    EXPECT_EQ("", messageOf(changed));
    session = bodyOf(c->command("get_session\n\n"));
    EXPECT_EQ("true", session.get_string("numeric", ""));
    EXPECT_EQ("unpacked", session.get_string("format", ""));

    // An unknown format is refused and changes nothing, not even the
    // settings given beside it.
    const std::string refused = c->command("set_session\nnumeric=false\nformat=zipped\n\n");
    EXPECT_EQ("nak", codeOf(refused));
    EXPECT_EQ("Cannot set format type. (Invalid or unknown value 'zipped'.)", messageOf(refused));
    session = bodyOf(c->command("get_session\n\n"));
    EXPECT_EQ("true", session.get_string("numeric", ""));
    EXPECT_EQ("unpacked", session.get_string("format", ""));

    // Another connection has settings of its own.
    auto other = console();
    ASSERT_TRUE(other);
    EXPECT_EQ("packed", bodyOf(other->command("get_session\n\n")).get_string("format", ""));
}

TEST_F(TFTPConsoleCommandsTest, SessionLocaleMustBeOneOfTheMessageLocales)
{
    ASSERT_NO_FATAL_FAILURE(open());
    controller->msgStore().setLocales("en_US, de_DE");
    const std::string known = c->command("set_session\nlocale=de_DE\n\n");
    EXPECT_EQ("ack", codeOf(known));
    EXPECT_EQ("", messageOf(known));
    EXPECT_EQ("de_DE", bodyOf(c->command("get_session\n\n")).get_string("locale", ""));

    // An unknown locale: a warning, and the session falls back to the
    // default locale.
    const std::string unknown = c->command("set_session\nlocale=fr_FR\n\n");
    EXPECT_EQ("ack", codeOf(unknown));
    EXPECT_EQ("Cannot set locale 'fr_FR' for login session. The available locales are: en_US,de_DE.",
              messageOf(unknown));
    EXPECT_EQ("en_US", bodyOf(c->command("get_session\n\n")).get_string("locale", ""));
}

TEST_F(TFTPConsoleCommandsTest, WatchStreamsTransferEventsUntilUnwatch)
{
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_EQ("ack", codeOf(c->command("watch\n\n")));
    EXPECT_EQ("nak", codeOf(c->command("watch\n\n"))); // one subscription per connection

    writeFile("w.bin", 700);
    CClient client;
    client.send(requestPort, readRequest("w.bin"));
    std::string packet;
    uint16_t port = 0;
    for (uint16_t block = 1; block <= 2; ++block) {
        ASSERT_TRUE(client.recv(packet, 3000, &port));
        ASSERT_EQ(block, blockOf(packet));
        client.send(port, ack(block));
    }
    // Records until the completed one.
    osk::CStringMap last;
    for (int i = 0; i < 20; ++i) {
        const std::string block = c->reply(false, 5);
        ASSERT_FALSE(block.empty());
        ASSERT_EQ(std::string::npos, block.find("code=")) << block;
        ASSERT_GE(block.size(), 4u);
        EXPECT_EQ("\n-\n\n", block.substr(block.size() - 4));
        last = osk::CStringMap(block.substr(0, block.size() - 3), "\n", 0);
        EXPECT_EQ("transfer", last.get_string("event_class", ""));
        if (last.get_string("state", "") == "complete") break;
    }
    EXPECT_EQ("complete", last.get_string("state", ""));
    EXPECT_EQ("success", last.get_string("status", ""));
    EXPECT_EQ(root + "/w.bin", last.get_string("file", ""));

    EXPECT_EQ("ack", codeOf(c->command("unwatch\n\n")));
    CClient other;
    other.send(requestPort, readRequest("w.bin"));
    ASSERT_TRUE(other.recv(packet, 3000));
    EXPECT_EQ("", c->recvRaw(0.5));
    EXPECT_FALSE(controller->eventPublisher()->hasSubscribers());
}

TEST_F(TFTPConsoleCommandsTest, ClosingAWatchingConsoleEndsItsSubscription)
{
    start();
    {
        auto c = console();
        ASSERT_TRUE(c);
        EXPECT_EQ("ack", codeOf(c->command("watch\n\n")));
        EXPECT_TRUE(controller->eventPublisher()->hasSubscribers());
        c->close();
    }
    for (int i = 0; i < 250 && controller->eventPublisher()->hasSubscribers(); ++i) ::usleep(20000);
    EXPECT_FALSE(controller->eventPublisher()->hasSubscribers());
}
