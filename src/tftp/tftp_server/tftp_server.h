#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "extended/message.h"
#include "standard/datagram_batch.h"
#include "standard/endpoint.h"
#include "standard/nr_mutex.h"
#include "standard/sock_dgram.h"
#include "standard/timeval.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_interfaces/i_udp_publisher_factory.h"
#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_interfaces/tftp_event_publisher.h"
#include "tftp/tftp_interfaces/transfer_statistics.h"
#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/finished_transfers.h"
#include "tftp/tftp_server/poll_budget.h"
#include "tftp/tftp_server/state_queue.h"
#include "tftp/tftp_server/tftp_admission.h"
#include "tftp/tftp_server/tftp_option_negotiator.h"
#include "tftp/tftp_server/tftp_packet.h"
#include "tftp/tftp_server/tftp_policy.h"
#include "tftp/tftp_server/tftp_server_config.h"

class ACE_Reactor;
class CITFTPFDManager;
class CRequestProcessor;
class CTFTPIO;
class CTransferHandler;
class CUDPFrontend;
namespace osk {
class CShutdownNotifier;
}

// The TFTP engine. It admits read and write requests handed to it by the
// request processor, keeps one CState per running transfer and drives every
// transfer through its state machine on one thread: daemon() alternates
// between servicing the transfer whose deadline has come and waiting in the
// reactor for datagrams. Files are reached only through descriptor managers.
//
// The engine lock (_lock) guards the connection table, the queue, the
// active count, the memory of finished transfers, the ignored-packet count
// and the shared packet. daemon() holds it except while it waits in the
// reactor; the socket handlers (called by the reactor on the same thread)
// and cancel() (from console threads) take it.
//
// Under loss the engine keeps to RFC 1350 and RFC 2347: an unanswered OACK
// is sent again as an OACK, the last block of a download is repeated until
// it is acknowledged, a repeated request is answered as a retransmission,
// late packets of an earlier transfer of the same client port are ignored,
// and a transfer that ends or is replaced leaves the table, the queue and
// the active count at once.
//
// With a window (RFC 7440) a download sends windowsize blocks per
// acknowledgement and starts again from the first unacknowledged block on a
// timeout or on an acknowledgement inside the window; an acknowledgement it
// has already had is ignored like any duplicate. An upload acknowledges the
// last block of every window, its last block and, once, a gap. A window of
// one block is lock-step.
class CTFTPServer {
public:
    // Observer of every pass over a transfer (a copy of its state).
    using publisher_t = std::function<void(const CState&)>;

    // The reactor is the one daemon() waits in; the controller owns it and
    // the counters the engine keeps.
    CTFTPServer(CITFTPController* controller, ACE_Reactor* reactor);
    ~CTFTPServer();
    CTFTPServer(const CTFTPServer&) = delete;
    CTFTPServer& operator=(const CTFTPServer&) = delete;

    // Creates the packet, the request processor, the frontend, the sender
    // and the transfer handler, reads the configuration and binds the
    // sockets. Throws "Cannot initialize transfer handler." or "Cannot
    // initialize frontend.", or the configuration error.
    void init();
    // Only what admit() needs: the configuration and the default descriptor
    // manager; no socket is bound (for dry runs).
    void initDecisions();
    // The engine loop; returns when the shutdown notifier is set.
    int daemon();
    // Sets the shutdown notifier (from any thread).
    void stop();
    void pause() { _paused.store(true); }
    void resume() { _paused.store(false); }
    bool paused() const { return _paused.load(); }

    // Admits one decoded request (engine lock held); sock is the socket
    // refusals leave from.
    void addConnection(osk::CSockDgram& sock, CConnReq& req);
    // Steps 4 to 10 of admission, shared with the daemon's dry run: picks
    // the descriptor manager, evaluates root, pre-processor, access and
    // overwrite rules and fills state (fdManager, protocol, reqFile, fqpn,
    // canOverwrite, binary, dstEndpoint). Opens nothing and sends nothing.
    CTFTPAdmission admit(const CConnReq& req, const CStatePtr& statePtr);

    // Reads the datagrams waiting on a transfer socket and dispatches them.
    void servicePacket(osk::CSockDgram& sock);
    bool processAck(CTFTPPacket& packet, CState& state);
    bool processData(CTFTPPacket& packet, size_t length, CState& state);
    bool processError(CTFTPPacket& packet, CState& state);
    // One pass of the state machine.
    void serviceConnection(CState& state);
    // Aborts a transfer (takes the engine lock): its error goes out on the
    // engine thread at once, not at the transfer's next deadline. False when
    // unknown.
    bool cancel(uint64_t transferID);
    // Hands a transfer event to the UDP publisher and the in-process
    // subscribers; builds nothing when neither is there.
    void publish(const CState& state);
    void publisher(const publisher_t& observer) { _publisher = observer; }

    CITFTPController* controller() const { return _controller; }
    CTFTPPacket* packet() const { return _packet.get(); }
    CTFTPIO* tftpio() const { return _tftpio.get(); }
    CTransferHandler* transferHandler() const { return _transferHandler.get(); }
    CUDPFrontend* frontend() const { return _frontend.get(); }
    CRequestProcessor* requestProcessor() const { return _requestProcessor.get(); }
    ACE_Reactor* reactor() const { return _reactor; }
    osk::CShutdownNotifier& shutdownNotifier() const;
    osk::CNRMutex& engineLock() { return _lock; }
    // Number of active transfers; a transfer stops counting as soon as it
    // ends or is replaced.
    size_t streamCount() const { return _active; }
    // How long the engine now polls its transfer socket before it sleeps,
    // with the transfers now running, in microseconds (engine lock held).
    int64_t pollBudgetUsec() const { return _pollBudget.usec(_active); }
    // Datagrams on the transfer socket that belonged to no transfer's
    // progress and were dropped (engine lock held by the caller).
    uint64_t ignoredPackets() const { return _ignoredPackets; }
    // Number of active transfers of one client address, whatever its ports
    // (engine lock held).
    size_t transfersFrom(const osk::CIPAddress& address) const;
    // True when the client has a running transfer (engine lock held).
    bool hasTransfer(const osk::CEndpoint& client) const { return _connections.count(client) != 0; }
    const CTFTPServerConfig& serverConfig() const { return _config; }
    const CTFTPPolicy& policy() const { return *_policy; }
    // Hands the request expressions another provisioner (null: none). Only
    // while the engine does not run: its thread evaluates them.
    void provisioner(CITFTPProvisioner* provisioner);
    // The same for the stored policies of device accounts.
    void storedPolicies(CITFTPStoredPolicies* policies);
    // True when requests arrive on the transfer socket (transfer port 69).
    bool frontendDisabled() const { return _frontendDisabled; }
    // A copy of the state of the transfer of a client (engine lock held by
    // the caller); false when there is none.
    bool findTransfer(const osk::CEndpoint& client, CState& out) const;

    // Name resolution against the controller's descriptor managers: the
    // manager for name (null when none), with a file-system prefix stripped
    // from name and its name in protocol.
    CITFTPFDManager* _resolveFDManager(std::string& name, std::string& protocol);
    // The manager normalises state.reqFile against root; fqpn := root +
    // reqFile. False when the manager rejects the name.
    bool _setFQPN(osk::CSockDgram* sock, CState& state, const std::string& root);
    void _readConfig();

private:
    void _findDefaultManager();
    void _log(uint32_t severity, const osk::CMessage& message);
    // Logs the message that build() makes, and makes it (formatting
    // addresses and numbers) only when the log takes the severity.
    template <typename Build, typename = std::enable_if_t<std::is_invocable_r_v<osk::CMessage, const Build&>>>
    void _log(uint32_t severity, const Build& build)
    {
        if (_controller && _controller->logs(severity)) _controller->syslog(severity, build());
    }
    void _serviceNetwork(const osk::CTimeval* wait);
    void _serviceSafely(CState& state);
    void _closeDescriptor(CState& state);
    // A transfer that ended or was replaced leaves the connection table
    // (when the entry is still its own), the queue and the active count, and
    // closes its file; its endpoint is remembered for late packets.
    void _release(CState& state);
    // A request identical to the running transfer's: the first packet goes
    // out again while the client has answered nothing, else it is ignored.
    void _answerRepeatedRequest(CState& state);
    // An ACK at an upload or DATA at a download: ignored when an earlier
    // transfer of the same endpoint went that way, else error 4.
    bool _wrongDirection(CTFTPPacket& packet, CState& state);
    // False when a block of count bytes takes an octet upload past the size
    // it announced (tsize), or ends it short of that size. A client that
    // lost its place in the file (some do when an OACK comes twice) is
    // caught here instead of storing a shifted file.
    bool _withinAnnouncedSize(const CState& state, size_t count) const;
    // Sends the blocks of a download's window not sent yet, up to the last
    // block of the file; false when a send failed.
    bool _sendWindow(osk::CSockDgram& sock, CState& state);
    // The window goes out again from blockNum.
    static void _restartWindow(CState& state);
    // True when an upload's block lies ahead of the next one within a window
    // and no gap of this window was acknowledged yet.
    bool _gapInWindow(const CState& state, uint16_t block) const;
    bool _refuseUnexpected(CTFTPPacket& packet, CState& state);
    bool _ignore(CTFTPPacket& packet, CState& state);
    void _failState(CState& state, const std::exception& e);
    void _timedOut(CState& state);
    void _succeeded(CState& state);
    bool _expired(const CState& state, const osk::CTimeval& now) const;
    // A transfer waiting for its client is due at its deadline; one with
    // something to send (or finished) is due at once.
    bool _due(const CState& state, const osk::CTimeval& now) const;
    osk::CSockDgram& _transferSock();
    // The next datagram of a transfer socket into _packet: what is queued,
    // or, when nothing is, what comes while the poll budget lasts. 0 or less
    // when the socket stays dry.
    ssize_t _receive(osk::CSockDgram& sock, osk::CEndpoint& from);
    static std::string _operation(const CState& state);
    // The name the statistics count a transfer under: the virtual file
    // system it named, or the local one.
    static const std::string& _fileSystem(const CState& state);
    // After an acknowledgement or OACK went out: a repeat counts as a
    // retransmission.
    void _countSent(const CState& state);
    // After data blocks from offset went out (their bytes in the I/O's last
    // payload): bytes beyond what the transfer sent before count as sent,
    // blocks sent again (after a timeout or an acknowledgement inside the
    // window) as one retransmission.
    void _countData(CState& state, osk::CFileOffset offset);

    CITFTPController* _controller;
    ACE_Reactor* _reactor;
    // The controller's counters.
    CTransferStatistics& _statistics;
    CTFTPServerConfig _config;
    std::unique_ptr<CTFTPPolicy> _policy;
    CTFTPOptionNegotiator _negotiator;
    std::unique_ptr<CTFTPPacket> _packet;
    std::unique_ptr<CRequestProcessor> _requestProcessor;
    std::unique_ptr<CUDPFrontend> _frontend;
    std::unique_ptr<CTFTPIO> _tftpio;
    std::unique_ptr<CTransferHandler> _transferHandler;
    CITFTPFDManager* _defaultManager = nullptr;

    // One running transfer: its state and the request that started it (to
    // tell a repeated request from a new one).
    struct CConnection {
        CStatePtr state;
        CConnReq request;
    };
    // Guarded by _lock: the connection table, the queue, the active count,
    // the finished transfers, the ignored count and _packet.
    osk::CNRMutex _lock;
    // Hashed: every datagram of every transfer looks its transfer up here.
    std::unordered_map<osk::CEndpoint, CConnection, osk::CEndpointHash> _connections;
    CStateQueue _queue;
    size_t _active = 0;
    // The active count of every client address that has a transfer.
    std::map<osk::CIPAddress, size_t> _activeByAddress;
    CFinishedTransfers _finished;
    uint64_t _ignoredPackets = 0;
    // Engine thread only: the datagrams read from the transfer socket and
    // not handled yet, the polling of the socket and when it last ran dry
    // (zero while it has not).
    osk::CDatagramBatch _received;
    CPollBudget _pollBudget;
    osk::CTimeval _dryAt;

    std::atomic<bool> _paused{false};
    bool _frontendDisabled = false;
    publisher_t _publisher;
    // Taken from the controller at init(); the controller releases its own
    // after the engine is gone.
    CIUDPPublisherFactory::publisher_ptr _udpPublisher;
    CTFTPEventPublisherPtr _events;
};
