// A running transfer fed arbitrary packets. The engine runs in this thread
// on real loopback sockets: a request built from the input's first bytes is
// admitted, then every datagram of the input goes from the client to the
// transfer socket and is serviced at once; the client's ERROR ends the
// transfer, which must then have left the engine's tables.
//
// The engine remembers the direction of each client's last transfer (late
// packets of it are ignored). The client keeps one port, and every input
// first runs a short transfer in the direction it chooses, so that what the
// engine remembers is the input's own doing, never an earlier input's.
//
// Input: byte 0 chooses the request (bit 0 write, bit 1 netascii, bits 2-4
// the blksize, timeout and tsize options, bits 5-7 the block size), byte 1
// the announced upload size in units of 64 bytes and, in its top bit, the
// direction of the transfer before; then length-prefixed datagrams (see
// FuzzBytes).

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/config.h"
#include "standard/guard.h"
#include "support/fuzz_bytes.h"
#include "support/loopback_udp_client.h"
#include "support/memory_fd_manager.h"
#include "support/temp_dir.h"
#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "tftp/tftp_server/tftp_io.h"
#include "tftp/tftp_server/tftp_server.h"
#include "tftp/tftp_server/transfer_handler.h"

namespace {

const uint64_t kBlockSizes[] = {512, 8, 9, 100, 1024, 1428, 4096, 65464};

std::string downloadContent()
{
    std::string out(3000, '\0');
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>('a' + (i * 7 + i / 512) % 26);
    return out;
}

// The engine, set up once per process and never started on a thread of its
// own: the harness services its sockets.
class Engine {
public:
    Engine() : _factory(downloadContent()), _controller("zelvo-fuzz")
    {
        _controller.handleSignals(false);
        _controller.addFDManagerFactory(&_factory);
        const std::pair<const char*, std::string> keys[] = {
            {"tftp.virtual_root", "/fuzz"},       {"tftp.access.allow", "true"},
            {"tftp.overwrite.allow", "true"},     {"tftp.engine.listen_on", "127.0.0.1"},
            {"tftp.engine.port", "0"},            {"tftp.timeout", "30s"},
            {"tftp.max_timeout", "60s"},          {"tftp.max_retransmits", "5"},
            {"system.storage.path", _var.path()}, {"system.log.levels", "error"},
            // Every input runs dry several times: polling would only wait.
            {"tftp.engine.busy_poll", "0"},
        };
        for (const auto& key : keys) _controller.config()->set_string(key.first, key.second);
        _controller.init();
    }

    CTFTPServer& server() { return *_controller.server(); }
    uint16_t transferPort() { return server().transferHandler()->port(); }
    osk::CSockDgram& transferSock() { return server().transferHandler()->sock(); }
    test_support::CMemoryFDManager& files() { return *_factory.manager; }
    test_support::LoopbackUDPClient& client() { return _client; }
    // The client as the engine sees it.
    const osk::CEndpoint& from() const { return _from; }

    void admit(CConnReq& request)
    {
        osk::CGuard<osk::CNRMutex> guard(server().engineLock());
        server().addConnection(transferSock(), request);
    }
    // Sends one datagram from the client and services it.
    void deliver(const std::string& datagram)
    {
        _client.send(transferPort(), datagram);
        server().servicePacket(transferSock());
        std::string reply;
        while (_client.recv(reply, 0)) {
        }
    }

    // The transfer's client is gone from the table and from the count.
    bool idle(const osk::CEndpoint& client)
    {
        osk::CGuard<osk::CNRMutex> guard(server().engineLock());
        return !server().hasTransfer(client) && server().streamCount() == 0;
    }

private:
    test_support::TempDir _var;
    test_support::CMemoryFDManagerFactory _factory;
    CTFTPController _controller;
    test_support::LoopbackUDPClient _client;
    osk::CEndpoint _from = CTFTPIO::canonical(_client.endpoint());
};

Engine& engine()
{
    static Engine shared;
    return shared;
}

CConnReq requestOf(uint8_t choice, uint8_t sizeUnits, const osk::CEndpoint& client)
{
    CConnReq request;
    request.src(client);
    const bool upload = (choice & 1) != 0;
    request.operation(upload ? CTFTPOpcode::wrq : CTFTPOpcode::rrq);
    request.file(upload ? "upload.bin" : "download.bin");
    request.octet_mode((choice & 2) == 0);
    if (choice & 4) request.blksize(kBlockSizes[choice >> 5]);
    if (choice & 8) request.timeout_sec(1 + (sizeUnits & 7));
    if (choice & 16) request.tsize(upload ? uint64_t(sizeUnits & 0x7f) * 64 : 0);
    return request;
}

const std::string kClientError("\0\5\0\0end\0", 8);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Engine& shared = engine();
    zelvo_fuzz::FuzzBytes input(data, size);
    const uint8_t choice = input.byte();
    const uint8_t sizeUnits = input.byte();

    CConnReq before = requestOf(sizeUnits >> 7, 0, shared.from());
    shared.admit(before);
    shared.deliver(kClientError);

    CConnReq request = requestOf(choice, sizeUnits, shared.from());
    shared.admit(request);
    while (!input.empty()) shared.deliver(input.chunk());
    shared.deliver(kClientError);
    if (!shared.idle(shared.from())) __builtin_trap();
    shared.files().forgetUploads();
    return 0;
}
