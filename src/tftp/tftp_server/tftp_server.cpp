#include "tftp/tftp_server/tftp_server.h"

#include <ace/Reactor.h>
#include <ace/Thread.h>
#include <ace/Time_Value.h>
#include <sched.h>
#include <cerrno>
#include <iostream>
#include <new>

#include "extended/exception.h"
#include "extended/shutdown_notifier.h"
#include "standard/guard.h"
#include "standard/reverse_guard.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_server/request_processor.h"
#include "tftp/tftp_server/state_event.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_io.h"
#include "tftp/tftp_server/transfer_handler.h"
#include "tftp/tftp_server/udp_frontend.h"

namespace {
const char* const kModule = "tftp_server";

// The virtual file system name under which the local file system's manager
// registers; it is the engine's default manager.
const char* const kLocalFileSystem = "file";
const uint16_t kRequestPort = 69;

// Engine start.
const char* const kCannotInitTransfer = "Cannot initialize transfer handler.";
const char* const kCannotInitFrontend = "Cannot initialize frontend.";
const char* const kNoDefaultManager =
    "None of the loaded descriptor manager plugins handles the local file system as a default protocol.";
const char* const kFrontendDisabled =
    "Because the transfer port is also the tftp request port (69), the frontend module is being disabled. Some "
    "features, such as listening on specific addresses, will not be available.";
const char* const kStarted = "The transfer port is %1. Timeout is %2, max re-transmits is %3.";

// Admission.
const char* const kNoMemory = "Not enough memory to service request from client on %1.";
const char* const kNoHandler = "No handler for this file system.";
const char* const kNoHandlerLog = "No handler for the file system specified in '%1'.";
const char* const kNoVirtualRoot = "Access denied (No virtual root available).";
const char* const kInvalidFileName = "Invalid file name.";
const char* const kRefusedName = "Client on %1 refused %2 for file '%3'. (%4)";
const char* const kPreProcessorFailed = "Access denied (Cannot evaluate pre-processor commands.";
const char* const kRefusedEvaluating = "Client on %1 refused %2 for file '%3'. (Evaluating '%4' key results in: %5.)";
const char* const kNotAuthorized = "Access denied (not authorized).";
const char* const kRefusedFalse = "Client on %1 refused %2 for file '%3'. (Key '%4' evaluates to false)";
const char* const kAuthorizationFailed = "Access denied (Cannot evaluate transfer authorization).";
const char* const kOverwriteFailed = "Access denied (Cannot evaluate overwrite authorization).";
const char* const kRefusedUpload = "Client on %1 refused upload for file '%2'.";
const char* const kRefusedDownload = "Client on %1 refused download for file '%2'.";
const char* const kRefusingDownload = "Refusing download request from %1 for file '%2'. The error is: %3.";
const char* const kStarting = "Client on %1 starting %2 %3 of file '%4'. Total number of active transfers is %5.";

// State machine.
const char* const kAckTimeout = "Timeout waiting for ack from client on %1; re-transmitting.";
const char* const kDataTimeout = "Timeout waiting for data from client on %1; re-transmitting.";
const char* const kMaxRetransmits = "Client on %1 timed out, re-transmitted %2 times.";
const char* const kSuccess = "Client on %1 successfully %2 file '%3' in %4.";
const char* const kAborting = "Client on %1 is being aborted with error '%2'.";
const char* const kUnexpected = "Client on %1 sent '%2', but I was expecting '%3'.";
const char* const kWrongAck =
    "Client on %1 acked for block %2, but I was expecting block %3. This datagram is being discarded.";
const char* const kWrongBlock = "Client on %1 sent block %2, but I was expecting block %3. Re-sending ack for block %4.";
const char* const kMissedFinalAck = "Client on %1 missed my final ack. Re-sending the final ack.";
const char* const kClientAborted = "Client on %1 has aborted %2 of file '%3' with error code %4, message '%5'.";
const char* const kDiscardingAck = "Discarding ack from client on %1.";
const char* const kNoRecord = "Client on %1 is talking to me, but I have no record of the transfer.";
const char* const kTransferAborted = "Transfer aborted";
const char* const kRepeatedRequest = "Client on %1 repeated its request; re-sending the first packet.";
const char* const kSizeMismatch = "The upload's size differs from the size it announced.";
const char* const kSizeMismatchLog =
    "Client on %1 sent a different amount of data for file '%2' than it announced (%3 bytes, got %4); the upload is "
    "discarded.";
const char* const kLatePacket = "Client on %1 sent '%2' of an earlier transfer; ignoring it.";

// Outcomes kept in CState::message.
const char* const kMsgSuccess = "success";
const char* const kMsgAborted = "aborted";
const char* const kMsgTimeout = "timeout";
const char* const kMsgMaxRx = "max_rx";
const char* const kMsgInvalidOpcode = "invalid opcode";

// Datagrams read per wake-up of the transfer socket before the engine
// looks at its queue again.
const int kReadBurst = 64;
// Datagrams taken from the transfer socket per system call.
const size_t kReceiveBatch = 16;

// Transfer identifiers are unique in the process; the first is 1.
std::atomic<uint64_t> g_transferCounter{0};

std::string elapsedText(const osk::CTimeval& since)
{
    const int64_t usec = (osk::CTimeval::now() - since).usec();
    const int64_t ms = usec / 1000;
    if (ms < 1000) return std::to_string(ms) + "ms";
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.3fs", static_cast<double>(usec) / 1e6);
    return buffer;
}

std::string printable(const std::exception& e)
{
    if (const auto* framework = dynamic_cast<const osk::CException*>(&e)) return framework->printableError();
    return e.what();
}

int errorNumber(const std::exception& e)
{
    if (const auto* framework = dynamic_cast<const osk::CException*>(&e)) return framework->err_code();
    return 0;
}

osk::CMessage msg(const char* text) { return osk::CMessage(text, kModule); }
} // namespace

CTFTPServer::CTFTPServer(CITFTPController* controller, ACE_Reactor* reactor)
    : _controller(controller), _reactor(reactor), _statistics(controller->transferStatistics()),
      _received(kReceiveBatch)
{
    if (_controller) {
        _udpPublisher = _controller->udpPublisher();
        _events = _controller->eventPublisher();
    }
}

CTFTPServer::~CTFTPServer()
{
    // Close what is still open, then take the sockets off the reactor.
    for (auto& entry : _connections) _closeDescriptor(*entry.second.state);
    _connections.clear();
    _queue.clear();
    _transferHandler.reset();
    _frontend.reset();
}

osk::CShutdownNotifier& CTFTPServer::shutdownNotifier() const { return _controller->shutdownNotifier(); }

void CTFTPServer::_log(uint32_t severity, const osk::CMessage& message)
{
    if (_controller) _controller->syslog(severity, message);
}

std::string CTFTPServer::_operation(const CState& state) { return state.transmitting ? "download" : "upload"; }

const std::string& CTFTPServer::_fileSystem(const CState& state)
{
    static const std::string local(kLocalFileSystem);
    return state.protocol.empty() && state.fdManager ? local : state.protocol;
}

void CTFTPServer::_countSent(const CState& state)
{
    if (state.retransmits > 0) _statistics.retransmitted(_fileSystem(state));
}

void CTFTPServer::_countData(CState& state, osk::CFileOffset offset)
{
    const osk::CFileOffset end = offset + _tftpio->lastPayload();
    if (offset < state.sentUpTo) _statistics.retransmitted(_fileSystem(state));
    if (end > state.sentUpTo) {
        _statistics.sent(_fileSystem(state), end - state.sentUpTo);
        state.sentUpTo = end;
    }
}

void CTFTPServer::_readConfig()
{
    osk::CConfigPtr config = _controller->config();
    std::unique_ptr<CTFTPPolicy> policy(new CTFTPPolicy(_controller));
    auto parse = [&policy](CTFTPServerConfig::expression_kind kind, const std::string& text) {
        switch (kind) {
        case CTFTPServerConfig::virtualRootExpression: policy->parseVirtualRoot(text); break;
        case CTFTPServerConfig::accessExpression: policy->parseAccess(text); break;
        case CTFTPServerConfig::overwriteExpression: policy->parseOverwrite(text); break;
        case CTFTPServerConfig::preProcessorExpression: policy->parsePreProcessor(text); break;
        case CTFTPServerConfig::accountExpression: policy->parseAccount(text); break;
        }
    };
    {
        osk::CGuard<osk::CConfigPtr> guard(config);
        _config.read(*config, parse);
    }
    policy->provisioner(_controller->provisioner());
    policy->storedPolicies(_controller->storedPolicies());
    _policy = std::move(policy);
    _negotiator.limits(_config.limits());
    _pollBudget = CPollBudget(static_cast<int64_t>(_config.busyPollUsec()));
    for (const CTFTPLogNote& note : _config.notes()) _log(note.severity, note.message);
}

void CTFTPServer::provisioner(CITFTPProvisioner* provisioner)
{
    if (_policy) _policy->provisioner(provisioner);
}

void CTFTPServer::storedPolicies(CITFTPStoredPolicies* policies)
{
    if (_policy) _policy->storedPolicies(policies);
}

void CTFTPServer::init()
{
    _packet.reset(new CTFTPPacket(CTFTPPacket::kMinBlksize));
    _requestProcessor.reset(new CRequestProcessor(_controller, this));
    _frontend.reset(new CUDPFrontend(_controller, "tftp", _requestProcessor.get(), _reactor));
    _tftpio.reset(new CTFTPIO(_controller, _packet.get()));
    _transferHandler.reset(new CTransferHandler(_controller, this, _reactor));
    _readConfig();

    if (!_transferHandler->init())
        throw OSK_EXCEPTION(msg(kCannotInitTransfer), osk::CMessage(), "CTFTPServer::init", kModule);
    _frontendDisabled = _transferHandler->port() == kRequestPort;
    if (_frontendDisabled) {
        _log(osk::CException::warning, [&] { return msg(kFrontendDisabled); });
    } else if (!_frontend->init(kRequestPort, true, CTFTPConfigNames::defaultDaemonPort(),
                                CTFTPConfigNames::daemonListenOn())) {
        throw OSK_EXCEPTION(msg(kCannotInitFrontend), osk::CMessage(), "CTFTPServer::init", kModule);
    }

    _findDefaultManager();
    _log(osk::CException::info, [&] {
        return msg(kStarted)
            .push(_transferHandler->port())
            .pushs(_config.timeoutText())
            .pushs(_config.maxRetransmitsText());
    });
}

void CTFTPServer::initDecisions()
{
    _packet.reset(new CTFTPPacket(CTFTPPacket::kMinBlksize));
    _tftpio.reset(new CTFTPIO(_controller, _packet.get()));
    _readConfig();
    _findDefaultManager();
}

void CTFTPServer::_findDefaultManager()
{
    const auto& managers = _controller->fdManagers();
    const auto local = managers.find(kLocalFileSystem);
    _defaultManager = local == managers.end() ? nullptr : local->second.get();
    if (!_defaultManager) _log(osk::CException::warning, [&] { return msg(kNoDefaultManager); });
}

void CTFTPServer::stop() { shutdownNotifier().set(true); }

osk::CSockDgram& CTFTPServer::_transferSock() { return _transferHandler->sock(); }

// ---- admission ----------------------------------------------------------

CITFTPFDManager* CTFTPServer::_resolveFDManager(std::string& name, std::string& protocol)
{
    const auto& managers = _controller->fdManagers();
    protocol.clear();
    if (_defaultManager && managers.size() == 1) return _defaultManager;

    auto lookup = [&managers](const std::string& key) -> CITFTPFDManager* {
        const auto found = managers.find(key);
        return found == managers.end() ? nullptr : found->second.get();
    };

    const size_t scheme = name.find("://");
    if (scheme != std::string::npos) {
        protocol = name.substr(0, scheme);
        CITFTPFDManager* manager = lookup(protocol);
        if (manager) name.erase(0, scheme + 3);
        return manager;
    }
    if (name.empty() || name[0] != '/' || name.size() < 4) {
        if (!_config.allowNonRootedVFS() || name.size() < 2) return _defaultManager;
        const size_t slash = name.find('/');
        if (slash != std::string::npos) {
            CITFTPFDManager* manager = lookup(name.substr(0, slash));
            if (manager) {
                protocol = name.substr(0, slash);
                name.erase(0, slash + 1);
                return manager;
            }
        }
        protocol.clear();
        return _defaultManager;
    }
    const size_t slash = name.find('/', 1);
    if (slash != std::string::npos) {
        CITFTPFDManager* manager = lookup(name.substr(1, slash - 1));
        if (manager) {
            protocol = name.substr(1, slash - 1);
            name.erase(0, slash + 1);
            return manager;
        }
    }
    protocol.clear();
    return _defaultManager;
}

bool CTFTPServer::_setFQPN(osk::CSockDgram*, CState& state, const std::string& root)
{
    std::string name = state.reqFile;
    state.fdManager->normaliseName(state.srcEndpoint, root, name);
    // The root without its trailing slashes; "/" adds nothing.
    size_t base = root.size();
    while (base > 1 && root[base - 1] == '/') --base;
    if (base == 1 && root[0] == '/') base = 0;
    state.fqpn.reserve(base + name.size());
    state.fqpn.assign(root, 0, base);
    state.fqpn += name;
    state.reqFile = std::move(name);
    return true;
}

CTFTPAdmission CTFTPServer::admit(const CConnReq& req, const CStatePtr& statePtr)
{
    CState& state = *statePtr;
    CTFTPAdmission out;
    // Formatted only for a refusal.
    auto client = [&req]() { return req.src().string(); };
    auto refuse = [&out](CTFTPErrorCode code, const std::string& text, osk::CMessage log) -> CTFTPAdmission& {
        out.admitted = false;
        out.error = code;
        out.errorText = text;
        out.logMessage = std::move(log);
        return out;
    };

    state.reqFile = req.file();
    std::string protocol;
    CITFTPFDManager* manager = _resolveFDManager(state.reqFile, protocol);
    if (!manager) return refuse(CTFTPErrorCode::undefined, kNoHandler, msg(kNoHandlerLog).pushs(req.file()));
    state.fdManager = manager;
    state.protocol = protocol;
    state.dstEndpoint = req.dst();
    out.manager = manager;

    // The account's stored policies take part in every decision below, the
    // virtual root included.
    try {
        out.policies = _policy->selectAccount(statePtr);
        out.account = _policy->accountName();
    } catch (const std::exception& e) {
        return refuse(CTFTPErrorCode::access_denied, kAuthorizationFailed,
                      msg(kRefusedEvaluating)
                          .pushs(client())
                          .pushs(_operation(state))
                          .pushs(req.file())
                          .pushs(CTFTPConfigNames::provisionerAccountName())
                          .pushs(printable(e)));
    }

    // Decided here and kept in the verdict: the names below are made under it.
    std::string& root = out.root;
    if (manager->usesVirtualRoot()) {
        try {
            root = _policy->virtualRoot(statePtr);
        } catch (const std::exception& e) {
            return refuse(CTFTPErrorCode::access_denied, kNoVirtualRoot,
                          msg(kRefusedEvaluating)
                              .pushs(client())
                              .pushs(_operation(state))
                              .pushs(req.file())
                              .pushs(CTFTPConfigNames::virtualRoot())
                              .pushs(printable(e)));
        }
        if (root.empty())
            return refuse(CTFTPErrorCode::access_denied, kNoVirtualRoot,
                          msg(kRefusedName).pushs(client()).pushs(_operation(state)).pushs(req.file()).pushs(
                              kNoVirtualRoot));
    }

    // A name refused is logged as the client asked for it. A name that
    // fails to normalise is left as it was, so only the pre-processor's
    // rewrite needs the request's own name kept aside.
    std::string requested;
    auto setName = [&]() -> bool {
        try {
            return _setFQPN(nullptr, state, root);
        } catch (const std::exception& e) {
            refuse(CTFTPErrorCode::file_not_found, kInvalidFileName,
                   msg(kRefusedName)
                       .pushs(client())
                       .pushs(_operation(state))
                       .pushs(requested.empty() ? state.reqFile : requested)
                       .pushs(printable(e)));
            return false;
        }
    };
    if (manager->usesPreProcessor() && _policy->hasPreProcessor()) requested = state.reqFile;
    if (!setName()) return out;

    if (manager->usesPreProcessor() && _policy->hasPreProcessor()) {
        try {
            out.preprocessed = _policy->preprocess(statePtr);
        } catch (const std::exception& e) {
            return refuse(CTFTPErrorCode::access_denied, kPreProcessorFailed,
                          msg(kRefusedEvaluating)
                              .pushs(client())
                              .pushs(_operation(state))
                              .pushs(state.reqFile)
                              .pushs(CTFTPConfigNames::preProcessor())
                              .pushs(printable(e)));
        }
        if (!setName()) return out;
    }

    out.accessAllowed = true;
    if (manager->usesAccessControl()) {
        try {
            out.accessAllowed = _policy->accessAllowed(statePtr);
        } catch (const std::exception& e) {
            out.accessAllowed = false;
            return refuse(CTFTPErrorCode::access_denied, kAuthorizationFailed,
                          msg(kRefusedEvaluating)
                              .pushs(client())
                              .pushs(_operation(state))
                              .pushs(state.fqpn)
                              .pushs(CTFTPConfigNames::allowAccess())
                              .pushs(printable(e)));
        }
        if (!out.accessAllowed)
            return refuse(CTFTPErrorCode::access_denied, kNotAuthorized,
                          msg(kRefusedFalse)
                              .pushs(client())
                              .pushs(_operation(state))
                              .pushs(state.fqpn)
                              .pushs(CTFTPConfigNames::allowAccess()));
    }

    if (manager->usesOverwriteControl()) {
        try {
            state.canOverwrite = _policy->overwriteAllowed(statePtr);
        } catch (const osk::CException& e) {
            if (_controller) _controller->exceptionFacade().push(e);
            return refuse(CTFTPErrorCode::access_denied, kOverwriteFailed,
                          msg(state.transmitting ? kRefusedDownload : kRefusedUpload).pushs(client()).pushs(state.fqpn));
        } catch (const std::exception&) {
            return refuse(CTFTPErrorCode::access_denied, kOverwriteFailed,
                          msg(state.transmitting ? kRefusedDownload : kRefusedUpload).pushs(client()).pushs(state.fqpn));
        }
    }
    out.overwriteAllowed = state.canOverwrite;
    state.binary = req.octet_mode();
    out.admitted = true;
    return out;
}

void CTFTPServer::addConnection(osk::CSockDgram& sock, CConnReq& req)
{
    auto client = [&req]() { return req.src().string(); };
    const auto running = _connections.find(req.src());
    if (running != _connections.end()) {
        // Loss and retransmission make late copies of a request common: a
        // copy is answered as a retransmission, never as a new transfer.
        if (running->second.request.sameRequest(req)) {
            CStatePtr state = running->second.state;
            _answerRepeatedRequest(*state);
            return;
        }
        // A different request from the client ends its running transfer.
        CStatePtr old = running->second.state;
        old->message = old->eof ? kMsgSuccess : kMsgAborted;
        old->state = CState::complete;
        _release(*old);
        publish(*old);
    }

    const CTFTPNegotiatedOptions options = _negotiator.negotiate(req, *_packet);
    for (const CTFTPLogNote& note : options.notes) _log(note.severity, note.message);

    CStatePtr state;
    {
        CState* created = osk::CTrackedFactory::createNothrow<CState>(++g_transferCounter, CState::send_data, req.src(),
                                                                      options.timeout_usec, options.blksize);
        if (!created) {
            _statistics.refusedRequest(CTransferStatistics::unresolvedFileSystem(), CTransferStatistics::steadySeconds());
            _log(osk::CException::error, [&] { return msg(kNoMemory).pushs(client()); });
            return;
        }
        state.reset(created);
    }
    state->optionBlocksize = options.optionBlocksize;
    state->optionTimeout = options.optionTimeout;
    state->optionTsize = options.optionTsize;
    state->optionWindowsize = options.optionWindowsize;
    state->windowsize = options.windowsize;
    state->transmitting = req.operation() == CTFTPOpcode::rrq;
    state->blockNum = state->transmitting && !options.anyOption() ? 1 : 0;
    if (!state->transmitting && state->optionTsize) state->tsize = options.tsize;
    state->state = state->firstSendState();

    const CTFTPAdmission admission = admit(req, state);
    if (!admission.admitted) {
        _statistics.refusedRequest(_fileSystem(*state), CTransferStatistics::steadySeconds());
        _tftpio->sendError(sock, req.src(), admission.error, admission.errorText);
        _log(admission.logSeverity, admission.logMessage);
        return;
    }

    if (state->transmitting) {
        try {
            state->descriptor = state->fdManager->openFile(*state);
            if (state->optionTsize) state->tsize = static_cast<uint64_t>(state->fdManager->fileSize(state->descriptor));
        } catch (const std::exception& e) {
            _closeDescriptor(*state);
            _statistics.refusedRequest(_fileSystem(*state), CTransferStatistics::steadySeconds());
            const std::string text = printable(e);
            _tftpio->sendError(sock, req.src(), CTFTPErrorCode::from_errno(errorNumber(e)), text);
            _log(osk::CException::debug,
                 [&] { return msg(kRefusingDownload).pushs(client()).pushs(state->fqpn).pushs(text); });
            return;
        }
    }

    _connections.insert_or_assign(req.src(), CConnection{state, req});
    state->activityTime = osk::CTimeval::now();
    ++_active;
    ++_activeByAddress[state->srcEndpoint.ip_address()];
    _statistics.started(_fileSystem(*state), CTransferStatistics::steadySeconds());
    _log(osk::CException::debug, [&] {
        return msg(kStarting)
            .pushs(client())
            .pushs(_operation(*state))
            .pushs(state->binary ? "binary" : "ascii")
            .pushs(state->fqpn)
            .push(_active);
    });
    // Queued before its first pass, so that a pass which ends the transfer
    // takes it out of the queue and the count again.
    _queue.push(state);
    _serviceSafely(*state);
    _queue.update(*state);
}

size_t CTFTPServer::transfersFrom(const osk::CIPAddress& address) const
{
    const auto found = _activeByAddress.find(address);
    return found == _activeByAddress.end() ? 0 : found->second;
}

void CTFTPServer::_answerRepeatedRequest(CState& state)
{
    if (!state.awaitingFirstAnswer() || state.state == CState::send_error) {
        ++_ignoredPackets;
        return;
    }
    _log(osk::CException::debug, [&] { return msg(kRepeatedRequest).pushs(state.srcEndpoint.string()); });
    ++state.retransmits;
    state.state = state.firstSendState();
    _restartWindow(state);
    _serviceSafely(state);
    _queue.update(state);
}

// ---- the state machine ----------------------------------------------------

bool CTFTPServer::_expired(const CState& state, const osk::CTimeval& now) const
{
    return (now - state.activityTime).usec() >= static_cast<int64_t>(state.timeout_usec);
}

bool CTFTPServer::_due(const CState& state, const osk::CTimeval& now) const { return !(now < state.dueTime()); }

void CTFTPServer::_timedOut(CState& state)
{
    state.state = CState::complete;
    state.message = kMsgMaxRx;
    _log(osk::CException::debug,
         [&] { return msg(kMaxRetransmits).pushs(state.srcEndpoint.string()).push(state.retransmits); });
}

void CTFTPServer::_succeeded(CState& state)
{
    _log(osk::CException::audit, [&] {
        return msg(kSuccess)
            .pushs(state.srcEndpoint.string())
            .pushs(state.transmitting ? "downloaded" : "uploaded")
            .pushs(state.fqpn)
            .pushs(elapsedText(state.startTimestamp));
    });
    state.message = kMsgSuccess;
}

void CTFTPServer::_closeDescriptor(CState& state)
{
    if (!state.descriptor || !state.fdManager) return;
    CIDescriptor* descriptor = state.descriptor;
    state.descriptor = nullptr;
    try {
        state.fdManager->closeFile(descriptor);
    } catch (const osk::CException& e) {
        if (_controller) _controller->exceptionFacade().push(e);
        _log(osk::CException::error, osk::CMessage(e.printableError(), kModule));
    } catch (const std::exception& e) {
        _log(osk::CException::error, osk::CMessage(e.what(), kModule));
    }
}

void CTFTPServer::_failState(CState& state, const std::exception& e)
{
    state.state = CState::send_error;
    state.error = CTFTPErrorCode::from_errno(errorNumber(e));
    state.message = printable(e);
    if (const auto* framework = dynamic_cast<const osk::CException*>(&e))
        if (_controller) _controller->exceptionFacade().push(*framework);
}

void CTFTPServer::_serviceSafely(CState& state)
{
    try {
        serviceConnection(state);
    } catch (const std::exception& e) {
        _failState(state, e);
        try {
            serviceConnection(state);
        } catch (const std::exception&) {
            state.state = CState::complete;
            _release(state);
        }
    }
}

void CTFTPServer::serviceConnection(CState& state)
{
    // One reading of the clock per pass: what the pass sends starts the
    // transfer's wait from the same moment.
    const osk::CTimeval now = osk::CTimeval::now();
    const unsigned long limit = _config.maxRetransmits();
    osk::CSockDgram& sock = _transferSock();
    auto client = [&state]() { return state.srcEndpoint.string(); };
    // A client that never saw the OACK gets the OACK again, not block 0 of
    // the data or an acknowledgement of block 0: those would make it fall
    // back to 512-byte blocks while the transfer runs with its own size.
    const bool repeatOack = state.anyOption() && state.awaitingFirstAnswer();

    if (state.state == CState::need_ack && _expired(state, now)) {
        _log(osk::CException::debug, [&] { return msg(kAckTimeout).pushs(client()); });
        state.message = kMsgTimeout;
        state.state = repeatOack ? CState::send_oack : CState::send_data;
        // The window goes out again from its first unacknowledged block.
        _restartWindow(state);
        ++state.retransmits;
    }
    if (state.state == CState::need_data && _expired(state, now)) {
        if (state.eof) {
            // The final acknowledgement stood unchallenged for a timeout.
            state.state = CState::complete;
            state.message = kMsgSuccess;
        } else {
            _log(osk::CException::debug, [&] { return msg(kDataTimeout).pushs(client()); });
            state.message = kMsgTimeout;
            state.state = repeatOack ? CState::send_oack : CState::send_ack;
            ++state.retransmits;
        }
    }
    if (state.state == CState::send_ack) {
        if (state.retransmits < limit) {
            if (_tftpio->sendAck(sock, state))
                _countSent(state);
            else _log(osk::CException::error, [&] { return msg(CTFTPIO::sendFailed).pushs(client()); });
            // The client's next window starts after this acknowledgement.
            state.windowBlocks = 0;
            state.gapAcknowledged = false;
            state.state = CState::need_data;
            state.activityTime = now;
        } else {
            _timedOut(state);
        }
    }
    if (state.state == CState::send_oack) {
        if (state.retransmits < limit) {
            if (_tftpio->sendOack(sock, state))
                _countSent(state);
            else _log(osk::CException::error, [&] { return msg(CTFTPIO::sendFailed).pushs(client()); });
            state.state = state.transmitting ? CState::need_ack : CState::need_data;
            state.activityTime = now;
        } else {
            _timedOut(state);
        }
    }
    if (state.state == CState::send_data) {
        // The last block is sent (and repeated) like any other: only its
        // acknowledgement ends the download.
        if (state.retransmits < limit) {
            if (!_sendWindow(sock, state))
                _log(osk::CException::error, [&] { return msg(CTFTPIO::sendFailed).pushs(client()); });
            state.state = CState::need_ack;
            state.activityTime = now;
        } else {
            _timedOut(state);
        }
    }
    if (state.state == CState::send_error) {
        _tftpio->sendError(sock, state.srcEndpoint, state.error, state.message);
        _log(osk::CException::debug, [&] { return msg(kAborting).pushs(client()).pushs(state.message); });
        state.state = CState::complete;
    }
    if (state.state == CState::complete) _release(state);
    publish(state);
}

void CTFTPServer::_release(CState& state)
{
    const auto entry = _connections.find(state.srcEndpoint);
    if (entry != _connections.end() && entry->second.state.get() == &state) _connections.erase(entry);
    if (_queue.remove(state)) {
        --_active;
        _statistics.ended(_fileSystem(state), CTransferStatistics::outcomeOf(state));
        const auto address = _activeByAddress.find(state.srcEndpoint.ip_address());
        if (address != _activeByAddress.end() && --address->second == 0) _activeByAddress.erase(address);
        // The client may repeat its last packets for as long as it would
        // retransmit them.
        const int64_t linger = static_cast<int64_t>(state.timeout_usec) *
                               static_cast<int64_t>(_config.maxRetransmits() + 1);
        _finished.remember(state.srcEndpoint, state.transmitting,
                           osk::CTimeval::now() + osk::CTimeval::fromUsec(linger));
    }
    _closeDescriptor(state);
}

// A packet the transfer is not waiting for ends it with "Invalid opcode.".
// It was valid for this transfer's endpoint, so it counts as activity.
bool CTFTPServer::_refuseUnexpected(CTFTPPacket& packet, CState& state)
{
    _log(osk::CException::debug, [&] {
        return msg(kUnexpected)
            .pushs(state.srcEndpoint.string())
            .pushs(packet.opcode().string())
            .pushs(state.state_string());
    });
    state.state = CState::send_error;
    state.error = CTFTPErrorCode::illegal_opcode;
    state.message = kMsgInvalidOpcode;
    return true;
}

bool CTFTPServer::_ignore(CTFTPPacket&, CState&)
{
    ++_ignoredPackets;
    return false;
}

bool CTFTPServer::_wrongDirection(CTFTPPacket& packet, CState& state)
{
    // An ACK can come from a download, DATA from an upload.
    const bool sentByDownload = packet.opcode() == CTFTPOpcode::ack;
    if (!_finished.recentlyEnded(state.srcEndpoint, sentByDownload, osk::CTimeval::now()))
        return _refuseUnexpected(packet, state);
    _log(osk::CException::debug,
         [&] { return msg(kLatePacket).pushs(state.srcEndpoint.string()).pushs(packet.opcode().string()); });
    return _ignore(packet, state);
}

bool CTFTPServer::_sendWindow(osk::CSockDgram& sock, CState& state)
{
    if (state.windowBlocks >= state.windowsize || state.eof) return true;
    const auto block = static_cast<uint16_t>(state.blockNum + state.windowBlocks);
    const osk::CFileOffset offset = state.fileOffset + state.windowBlocks * state.blksize;
    // Lock-step sends its one block straight from the shared packet.
    if (state.windowsize == 1) {
        if (!_tftpio->sendData(sock, state, block, offset)) return false;
        _countData(state, offset);
        state.windowBlocks = 1;
        return true;
    }
    const uint64_t wanted = state.windowsize - state.windowBlocks;
    const uint64_t sent = _tftpio->sendBlocks(sock, state, block, offset, wanted);
    if (sent > 0) _countData(state, offset);
    state.windowBlocks += sent;
    return state.eof || sent == wanted;
}

void CTFTPServer::_restartWindow(CState& state)
{
    state.windowBlocks = 0;
    // The last block may lie beyond the restart; it sets eof again when it
    // is sent again.
    state.eof = false;
}

bool CTFTPServer::processAck(CTFTPPacket& packet, CState& state)
{
    if (!state.transmitting) return _wrongDirection(packet, state);
    if (state.state != CState::need_ack) return _ignore(packet, state);
    const uint16_t block = packet.block();
    // The acknowledgement of an OACK (block 0): block 1 starts at offset 0.
    const bool oackAnswered = state.anyOption() && state.awaitingFirstAnswer();
    const uint64_t outstanding = oackAnswered ? 1 : state.windowBlocks;
    // Blocks from blockNum on that this acknowledgement covers, counted in
    // 16-bit arithmetic so that a window may run across block 65535.
    const auto covered = static_cast<uint16_t>(block - state.blockNum + 1);
    if (covered == 0 || covered > outstanding) {
        // A duplicate or stale acknowledgement: never a reason to resend.
        _log(osk::CException::debug, [&] {
            return msg(kWrongAck)
                .pushs(state.srcEndpoint.string())
                .push(block)
                .push(static_cast<uint16_t>(state.blockNum + outstanding - 1));
        });
        return _ignore(packet, state);
    }
    state.retransmits = 0;
    if (state.eof && covered == outstanding) {
        _succeeded(state);
        state.state = CState::complete;
        serviceConnection(state);
        return true;
    }
    if (oackAnswered) {
        state.blockNum = 1;
    } else {
        state.blockNum = static_cast<uint16_t>(state.blockNum + covered);
        state.fileOffset += covered * state.blksize;
    }
    // After a whole window the next one follows; an acknowledgement inside
    // the window means the client lost the block after it, and the window
    // restarts there.
    _restartWindow(state);
    state.state = CState::send_data;
    serviceConnection(state);
    return true;
}

bool CTFTPServer::processData(CTFTPPacket& packet, size_t length, CState& state)
{
    // Formatted only when something is logged.
    auto client = [&state]() { return state.srcEndpoint.string(); };
    if (state.transmitting) return _wrongDirection(packet, state);
    if (state.state != CState::need_data) return _ignore(packet, state);
    const uint16_t block = packet.block();
    // A copy of a block of the window in progress is no sign of a lost
    // acknowledgement: none was sent since that block.
    if (block == state.blockNum && !state.awaitingFirstAnswer() && state.windowBlocks == 0) {
        // The client missed our acknowledgement of its last block.
        if (state.eof) _log(osk::CException::debug, [&] { return msg(kMissedFinalAck).pushs(client()); });
        else
            _log(osk::CException::debug, [&] {
                return msg(kWrongBlock).pushs(client()).push(block).push(state.nextBlockNum()).push(state.blockNum);
            });
        ++state.retransmits;
        state.state = CState::send_ack;
        serviceConnection(state);
        return true;
    }
    if (state.eof) return _ignore(packet, state);
    if (block != state.nextBlockNum()) {
        if (!_gapInWindow(state, block)) return _ignore(packet, state);
        // The client sent past a lost block: acknowledging the last block in
        // order at once makes it restart from the lost one. Once per window,
        // so the blocks after the gap do not each start the window again.
        _log(osk::CException::debug, [&] {
            return msg(kWrongBlock).pushs(client()).push(block).push(state.nextBlockNum()).push(state.blockNum);
        });
        state.state = CState::send_ack;
        serviceConnection(state);
        state.gapAcknowledged = true;
        return true;
    }
    const size_t count = length > CTFTPPacket::header_len() ? length - CTFTPPacket::header_len() : 0;
    if (!_withinAnnouncedSize(state, count)) {
        // Never stored: the manager gives the upload up when it is closed.
        _log(osk::CException::debug, [&] {
            return msg(kSizeMismatchLog)
                .pushs(client())
                .pushs(state.fqpn)
                .push(state.tsize)
                .push(static_cast<uint64_t>(state.fileOffset) + count);
        });
        state.state = CState::send_error;
        state.error = CTFTPErrorCode::undefined;
        state.message = kSizeMismatch;
        serviceConnection(state);
        return true;
    }
    try {
        if (!state.descriptor) state.descriptor = state.fdManager->openFile(state);
        const size_t written = state.fdManager->writeBlock(state.descriptor, state.fileOffset,
                                                           reinterpret_cast<const char*>(packet.data()), count);
        state.blockNum = block;
        state.retransmits = 0;
        state.fileOffset += static_cast<int64_t>(written);
        _statistics.received(_fileSystem(state), written);
        if (count < state.blksize) {
            state.eof = true;
            // Closing the last block's descriptor puts the file in place;
            // only then is the upload a success and acknowledged.
            CIDescriptor* descriptor = state.descriptor;
            state.descriptor = nullptr;
            state.fdManager->closeFile(descriptor);
            _succeeded(state);
        }
    } catch (const std::exception& e) {
        _failState(state, e);
        serviceConnection(state);
        return true;
    }
    // A window is acknowledged by its last block, or by the upload's last.
    ++state.windowBlocks;
    if (!state.eof && state.windowBlocks < state.windowsize) return true;
    state.state = CState::send_ack;
    serviceConnection(state);
    return true;
}

bool CTFTPServer::_gapInWindow(const CState& state, uint16_t block) const
{
    if (state.windowsize < 2 || state.gapAcknowledged) return false;
    // Blocks ahead of the next one by less than a window; anything else
    // (late blocks, blocks long past) cannot belong to this upload's
    // progress.
    const auto ahead = static_cast<uint16_t>(block - state.nextBlockNum());
    return ahead < state.windowsize;
}

bool CTFTPServer::_withinAnnouncedSize(const CState& state, size_t count) const
{
    // Only an octet upload's announced size counts bytes as they are stored.
    if (!state.optionTsize || !state.binary) return true;
    const uint64_t total = static_cast<uint64_t>(state.fileOffset) + count;
    if (total > state.tsize) return false;
    return count == state.blksize || total == state.tsize;
}

bool CTFTPServer::processError(CTFTPPacket& packet, CState& state)
{
    const std::string text = packet.message();
    _log(osk::CException::debug, [&] {
        return msg(kClientAborted)
            .pushs(state.srcEndpoint.string())
            .pushs(_operation(state))
            .pushs(state.fqpn)
            .pushs(packet.error_code().string())
            .pushs(text);
    });
    state.message = text;
    state.state = CState::complete;
    serviceConnection(state);
    return true;
}

void CTFTPServer::servicePacket(osk::CSockDgram& sock)
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    // The answers to this burst's datagrams go out together.
    CTFTPIO::CBurst burst(*_tftpio, sock);
    if (_dryAt != osk::CTimeval()) {
        _pollBudget.waited((osk::CTimeval::now() - _dryAt).usec());
        _dryAt = osk::CTimeval();
    }
    // A burst ends with the batch in hand: the socket would not wake the
    // engine for datagrams already read from it.
    for (int round = 0; round < kReadBurst || _received.pending() > 0; ++round) {
        osk::CEndpoint from;
        const ssize_t received = _receive(sock, from);
        if (received <= 0) return;
        unsigned char* raw = _packet->raw_pkt();
        // Texts that reach the buffer's end stop at the bytes received.
        if (static_cast<size_t>(received) < _packet->raw_len()) raw[received] = 0;
        from = CTFTPIO::canonical(from);

        if (_frontendDisabled) {
            if (_requestProcessor->queryResponse(sock, from, _packet.get(), static_cast<int>(received))) continue;
            const int op = _packet->opcode();
            if (op == CTFTPOpcode::rrq || op == CTFTPOpcode::wrq) {
                _requestProcessor->serviceRequest(sock, from, _packet.get(), static_cast<int>(received));
                continue;
            }
        }

        const auto found = _connections.find(from);
        const int op = _packet->opcode();
        if (found == _connections.end()) {
            ++_ignoredPackets;
            _log(osk::CException::debug,
                 [&] { return msg(op == CTFTPOpcode::ack ? kDiscardingAck : kNoRecord).pushs(from.string()); });
            continue;
        }
        CStatePtr state = found->second.state;
        if (state->state == CState::send_error) continue;
        bool valid = false;
        try {
            switch (op) {
            case CTFTPOpcode::ack: valid = processAck(*_packet, *state); break;
            case CTFTPOpcode::error: valid = processError(*_packet, *state); break;
            case CTFTPOpcode::data: valid = processData(*_packet, static_cast<size_t>(received), *state); break;
            default: ++_ignoredPackets; break;
            }
        } catch (const std::exception& e) {
            _failState(*state, e);
            valid = true;
        }
        if (valid) state->activityTime = osk::CTimeval::now();
        // An error to send goes out now rather than at the next deadline.
        if (state->state == CState::send_error) _serviceSafely(*state);
        _queue.update(*state);
    }
}

ssize_t CTFTPServer::_receive(osk::CSockDgram& sock, osk::CEndpoint& from)
{
    unsigned char* raw = _packet->raw_pkt();
    ssize_t received = _received.next(sock, raw, _packet->raw_len(), from, MSG_DONTWAIT);
    if (received > 0) return received;
    // Taken before the flush below, whose send may set errno: only a socket
    // that is merely empty is worth polling.
    const bool empty = received == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    // The socket ran dry: the answers queued so far go out before the
    // engine waits for what they will bring.
    _tftpio->flushQueued();
    const osk::CTimeval dry = osk::CTimeval::now();
    const int64_t budget = _pollBudget.usec(_active);
    if (budget > 0 && empty) {
        // Timers and the other sockets wait at most the budget meanwhile.
        // Each fruitless read yields the processor: where clients run on the
        // same machine (or anything else wants the processor), polling must
        // not keep them from answering.
        const osk::CTimeval until = dry + osk::CTimeval::fromUsec(budget);
        do {
            received = _received.next(sock, raw, _packet->raw_len(), from, MSG_DONTWAIT);
            if (received > 0) return received;
            ::sched_yield();
        } while (osk::CTimeval::now() < until);
        _pollBudget.missed();
    }
    _dryAt = dry;
    return received;
}

// ---- scheduling -------------------------------------------------------------

void CTFTPServer::_serviceNetwork(const osk::CTimeval* wait)
{
    osk::CReverseGuard<osk::CNRMutex> unlocked(_lock);
    if (wait) {
        ACE_Time_Value limit(static_cast<time_t>(wait->sec()), static_cast<suseconds_t>(wait->usecPart()));
        _reactor->handle_events(limit);
    } else {
        _reactor->handle_events();
    }
}

int CTFTPServer::daemon()
{
    _reactor->owner(ACE_Thread::self());
    osk::CGuard<osk::CNRMutex> guard(_lock);
    while (!shutdownNotifier().set()) {
        if (_active != _queue.size())
            std::cerr << "Internal Error: pqueue size is " << _queue.size() << ", stream count is " << _active
                      << ".\n";
        // Only the transfer whose turn has come is serviced; all others
        // advance through their packets and their own turn at the top.
        const CStatePtr state = _queue.top();
        if (state && _due(*state, osk::CTimeval::now())) {
            _serviceSafely(*state);
            _queue.update(*state);
        }
        const CStatePtr next = _queue.top();
        if (!next) {
            _serviceNetwork(nullptr);
            continue;
        }
        osk::CTimeval wait;
        const osk::CTimeval now = osk::CTimeval::now();
        if (!_due(*next, now)) wait = next->dueTime() - now;
        _serviceNetwork(&wait);
    }
    return 0;
}

bool CTFTPServer::cancel(uint64_t transferID)
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    for (auto& entry : _connections) {
        CState& state = *entry.second.state;
        if (state.transferID != transferID) continue;
        state.state = CState::send_error;
        state.error = CTFTPErrorCode::undefined;
        state.message = kTransferAborted;
        // Its turn comes now: the engine thread wakes up and sends the error
        // instead of waiting for the transfer's deadline.
        _queue.update(state);
        if (_reactor) _reactor->notify();
        return true;
    }
    return false;
}

void CTFTPServer::publish(const CState& state)
{
    if (_publisher) _publisher(state);
    // Nobody listening costs one test per pass: no event is built.
    const bool inProcess = _events.get() && _events.get()->hasSubscribers();
    if (!_udpPublisher && !inProcess) return;
    try {
        const osk::CAppEventPtr event(osk::CTrackedFactory::create<CStateEvent>(
            _controller->serverIndex(), osk::CTrackedFactory::create<CState>(state)));
        if (_udpPublisher) _udpPublisher->publish(event, static_cast<uint32_t>(state.transferID));
        if (inProcess) _events->publishEvent(event);
    } catch (const osk::CException& e) {
        _controller->exceptionFacade().push(e);
    }
}

bool CTFTPServer::findTransfer(const osk::CEndpoint& client, CState& out) const
{
    const auto found = _connections.find(client);
    if (found == _connections.end()) return false;
    out = *found->second.state;
    return true;
}
