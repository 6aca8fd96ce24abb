// The engine's test fixture: a descriptor manager over plain files, a raw
// UDP client's packet builders and an engine started on loopback.
#pragma once


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
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <memory>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "extended/exception.h"
#include "standard/guard.h"
#include "support/loopback_udp_client.h"
#include "support/temp_dir.h"
#include "support/test_fd_manager.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "tftp/tftp_server/state_event.h"
#include "tftp/tftp_server/tftp_server.h"
#include "tftp/tftp_server/transfer_handler.h"
#include "tftp/tftp_server/udp_frontend.h"

namespace engine_test {

using Bytes = std::string;

// ---- a descriptor manager over plain files ---------------------------------

// An upload writes "<name>.part" and is renamed into place when it is closed
// after its last (short) block; closed earlier, it is given up. That is the
// contract every manager keeps, in its simplest form.
class CFileDescriptor : public CIDescriptor {
public:
    CFileDescriptor(int fd, std::string target = "", uint64_t blksize = 0)
        : fd(fd), target(std::move(target)), blksize(blksize)
    {
    }
    ~CFileDescriptor() override
    {
        ::close(fd);
        if (target.empty()) return;
        if (complete)
            ::rename((target + ".part").c_str(), target.c_str());
        else
            ::unlink((target + ".part").c_str());
    }
    int fd;
    std::string target;
    uint64_t blksize;
    bool complete = false;
};

class CTestManager : public test_support::CTestFDManagerBase {
public:
    // Serves the virtual file system vfs ("file" is the local one).
    explicit CTestManager(std::string vfs = "file") : CTestFDManagerBase("test files", std::move(vfs)) {}
    CIDescriptor* openFile(CState& state) override
    {
        ++opened;
        {
            std::lock_guard<std::mutex> lock(_namesLock);
            _openedNames.push_back(state.reqFile);
        }
        if (state.transmitting) {
            const int fd = ::open(state.fqpn.c_str(), O_RDONLY);
            if (fd < 0) throw failure("Cannot open file.", errno);
            return new CFileDescriptor(fd);
        }
        if (!state.canOverwrite && ::access(state.fqpn.c_str(), F_OK) == 0) throw failure("Exists.", EEXIST);
        const int fd = ::open((state.fqpn + ".part").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) throw failure("Cannot open file.", errno);
        return new CFileDescriptor(fd, state.fqpn, state.blksize);
    }
    size_t writeBlock(CIDescriptor* d, osk::CFileOffset offset, const char* data, size_t count) override
    {
        auto* file = static_cast<CFileDescriptor*>(d);
        if (failWrites) throw failure("Cannot write.", failWrites);
        const ssize_t n = ::pwrite(file->fd, data, count, offset);
        if (n < 0) throw failure("Cannot write.", errno);
        if (count < file->blksize) file->complete = true;
        return static_cast<size_t>(n);
    }
    size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* d) override
    {
        const ssize_t n = ::pread(static_cast<CFileDescriptor*>(d)->fd, buffer, count, offset);
        if (n < 0) throw failure("Cannot read.", errno);
        return static_cast<size_t>(n);
    }
    osk::CFileOffset fileSize(CIDescriptor* d) override
    {
        struct stat info;
        ::fstat(static_cast<CFileDescriptor*>(d)->fd, &info);
        return info.st_size;
    }

    // Files opened so far (read by the test thread after the engine stopped
    // or between transfers).
    std::atomic<int> opened{0};
    // When not 0, every write fails with this system error.
    std::atomic<int> failWrites{0};
    // The names openFile was given, in order.
    std::vector<std::string> openedNames() const
    {
        std::lock_guard<std::mutex> lock(_namesLock);
        return _openedNames;
    }

private:
    mutable std::mutex _namesLock;
    std::vector<std::string> _openedNames;
};

// Creates one CTestManager for a virtual file system and keeps a pointer to
// it for the test (the controller owns it).
class CTestFactory : public test_support::CTestFDManagerFactory<CTestManager> {
public:
    explicit CTestFactory(std::string vfs = "file") : CTestFDManagerFactory(std::move(vfs)) {}
};

// ---- a raw UDP client ------------------------------------------------------

using CClient = test_support::LoopbackUDPClient;

inline Bytes word(uint16_t value) { return Bytes{static_cast<char>(value >> 8), static_cast<char>(value & 0xff)}; }
inline Bytes request(uint16_t op, const std::string& file, const std::string& mode = "octet",
              const std::vector<std::pair<std::string, std::string>>& options = {})
{
    Bytes out = word(op) + file + '\0' + mode + '\0';
    for (const auto& option : options) out += option.first + '\0' + option.second + '\0';
    return out;
}
inline Bytes ack(uint16_t block) { return word(4) + word(block); }
inline Bytes data(uint16_t block, const Bytes& payload) { return word(3) + word(block) + payload; }
inline Bytes error(uint16_t code, const std::string& text) { return word(5) + word(code) + text + '\0'; }
inline uint16_t opcodeOf(const Bytes& packet) { return packet.size() < 2 ? 0 : (uint8_t(packet[0]) << 8) | uint8_t(packet[1]); }
inline uint16_t blockOf(const Bytes& packet) { return packet.size() < 4 ? 0 : (uint8_t(packet[2]) << 8) | uint8_t(packet[3]); }
inline std::string errorText(const Bytes& packet) { return packet.size() > 4 ? std::string(packet.c_str() + 4) : ""; }

inline Bytes pattern(size_t size)
{
    Bytes out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>('a' + (i * 7 + i / 512) % 26);
    return out;
}

// ---- the fixture -------------------------------------------------------------

class CEngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-engine-XXXXXX";
        _root = ::mkdtemp(pattern);
    }
    void TearDown() override
    {
        stop();
        std::system(("rm -rf '" + _root + "'").c_str());
    }

    // Starts the engine with these keys over the defaults of the tests.
    void start(const std::map<std::string, std::string>& keys = {})
    {
        _controller.reset(_newController());
        _controller->handleSignals(false);
        _controller->addFDManagerFactory(&_factory);
        for (CITFTPFDManagerFactory* extra : _extraFactories) _controller->addFDManagerFactory(extra);
        if (_udp) _controller->udpPublisher(_udp);
        _controller->storedPolicies(_storedPolicies);
        std::map<std::string, std::string> all = {
            {"tftp.virtual_root", _root},      {"tftp.access.allow", "true"}, {"tftp.overwrite.allow", "false"},
            {"tftp.engine.listen_on", "127.0.0.1"}, {"tftp.engine.port", "0"},   {"tftp.timeout", "1s"},
            {"tftp.max_retransmits", "5"},     {"system.storage.path", _var.path()},
            {"system.log.levels", std::getenv("ZELVO_TEST_LOG") ? std::getenv("ZELVO_TEST_LOG") : "error"},
        };
        for (const auto& key : keys) all[key.first] = key.second;
        for (const auto& key : all) _controller->config()->set_string(key.first, key.second);
        _controller->init();
        _requestPort = _controller->server()->frontendDisabled()
                           ? _controller->server()->transferHandler()->port()
                           : _controller->server()->frontend()->binder().sockets().at(0)->local_endpoint().hbo_port();
        _thread = std::thread([this] { _controller->daemon(); });
    }
    // The controller start() runs the engine under.
    virtual CTFTPController* _newController() { return new CTFTPController("zelvo-test"); }
    void stop()
    {
        if (!_controller) return;
        _controller->stop();
        if (_thread.joinable()) _thread.join();
        _controller.reset();
    }

    void writeFile(const std::string& name, const Bytes& content)
    {
        std::ofstream(_root + "/" + name, std::ios::binary) << content;
    }
    Bytes readFile(const std::string& name)
    {
        std::ifstream in(_root + "/" + name, std::ios::binary);
        std::stringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool exists(const std::string& name) { return ::access((_root + "/" + name).c_str(), F_OK) == 0; }

    // Requests name (op 1 read, 2 write) with options and reads the
    // transfer's first packet; its port becomes _port.
    Bytes open(CClient& client, uint16_t op, const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& options = {})
    {
        client.send(_requestPort, request(op, name, "octet", options));
        Bytes packet;
        EXPECT_TRUE(client.recv(packet, 2000, &_port));
        return packet;
    }

    // A copy of the transfer of a client, read under the engine lock.
    bool transfer(const CClient& client, CState& out)
    {
        osk::CGuard<osk::CNRMutex> guard(_controller->server()->engineLock());
        return _controller->server()->findTransfer(client.endpoint(), out);
    }
    bool waitGone(const CClient& client, int ms)
    {
        CState state;
        for (int i = 0; i < ms / 10; ++i) {
            if (!transfer(client, state)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Keeps the final state of every transfer the engine publishes (call
    // before the transfers start; read after stop()).
    void recordOutcomes()
    {
        osk::CGuard<osk::CNRMutex> guard(_controller->server()->engineLock());
        _controller->server()->publisher([this](const CState& state) {
            if (state.state == CState::complete) _outcomes.push_back(state);
        });
    }
    // The engine's count of ignored transfer-socket datagrams.
    uint64_t ignored()
    {
        osk::CGuard<osk::CNRMutex> guard(_controller->server()->engineLock());
        return _controller->server()->ignoredPackets();
    }
    int64_t pollBudget()
    {
        osk::CGuard<osk::CNRMutex> guard(_controller->server()->engineLock());
        return _controller->server()->pollBudgetUsec();
    }
    size_t active()
    {
        osk::CGuard<osk::CNRMutex> guard(_controller->server()->engineLock());
        return _controller->server()->streamCount();
    }

    std::string _root;
    // The transfer port of the last open().
    uint16_t _port = 0;
    std::vector<CState> _outcomes;
    std::vector<CITFTPFDManagerFactory*> _extraFactories;
    // Storage of the controller (its private key).
    test_support::TempDir _var;
    CTestFactory _factory;
    CIUDPPublisherFactory::publisher_ptr _udp;
    // The stored policies the engine starts with (null: none).
    CITFTPStoredPolicies* _storedPolicies = nullptr;
    std::unique_ptr<CTFTPController> _controller;
    std::thread _thread;
    uint16_t _requestPort = 0;
};

} // namespace engine_test
