#include "extended/async_log.h"

#include <unistd.h>

#include "extended/cmd_configure_log.h"
#include "extended/cmd_deregister_log_target.h"
#include "extended/cmd_register_log_target.h"
#include "extended/cmd_log_exception.h"
#include "extended/cmd_log_msg.h"
#include "extended/cmd_null.h"
#include "extended/config.h"
#include "extended/config_values.h"
#include "extended/ext_async_result.h"
#include "extended/master_controller.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kSynchronous = "The system logger is in synchronous mode.";
const char* const kAsynchronous = "The system logger is in asynchronous mode.";

const char* const kDescriptionNull = "A log target that discards all messages it receives";
const char* const kDescriptionStdout = "Displays log messages on the standard output device (stdout)";
const char* const kDescriptionFile = "Writes log messages to a file";
const char* const kDescriptionEventlog = "Forwards log messages to the operating system's local event log";
const char* const kDescriptionRsyslog = "Forwards messages across the network to a remote syslog server";

// Pause between posts while the command queue is full.
const useconds_t kQueueFullPauseUs = 5;

uint64_t selfId() { return static_cast<uint64_t>(pthread_self()); }
} // namespace

const char* const CAsyncLog::taskLabel = "async-log";

CAsyncLog::CAsyncLog(CMasterController* controller) : CCommandQueueTask<>(controller, taskLabel, 1) {}

CAsyncLog::~CAsyncLog()
{
    try {
        if (running()) shutdown();
    } catch (...) {
        // Nothing to report from a destructor.
    }
    _tls.clear([](CLogTLS*& tls) { CTrackedFactory::destroy(tls); });
}

std::vector<std::pair<std::string, std::string>> CAsyncLog::getAvailableTargets()
{
    return {{"null", kDescriptionNull},
            {"stdout", kDescriptionStdout},
            {"file", kDescriptionFile},
            {"eventlog", kDescriptionEventlog},
            {"rsyslog", kDescriptionRsyslog}};
}

CLogTLS& CAsyncLog::tls()
{
    CMasterController* owner = controller();
    return *_tls.mine([owner] {
        return CTrackedFactory::create<CLogTLS>(owner->hostname(), owner->appName(), [owner](uint64_t threadId) {
            return owner->taskRegistry()->find(static_cast<pthread_t>(threadId));
        });
    });
}

std::string CAsyncLog::processName() const { return controller()->appName(); }

void CAsyncLog::_threadStart()
{
    CCommandQueueTask<>::_threadStart();
    _logThread.store(pthread_self());
}

void CAsyncLog::_threadExit()
{
    _logThread.store(0);
    CCommandQueueTask<>::_threadExit();
}

void CAsyncLog::_levelsChanged(uint32_t mask)
{
    _debug.store((mask & CException::debug) != 0);
    _verbose.store((mask & CException::verbose) != 0);
}

bool CAsyncLog::_post(const CGeneralPtr<CAsyncCommand>& command)
{
    for (;;) {
        if (_shutdown.load() || !running()) return false;
        try {
            sendCommand(command);
            return true;
        } catch (const CExQueueFull&) {
            ::usleep(kQueueFullPauseUs);
        }
    }
}

void CAsyncLog::syslog(uint32_t severity, const CMessage& message, int errCode)
{
    if (_shutdown.load()) return;
    if ((severity & CException::debug) && !debugEnabled()) return;
    if ((severity & CException::verbose) && !verboseEnabled()) return;
    if (isLogThread()) {
        tls().processTargets(severity, selfId(), errCode, message);
        return;
    }
    if (!synchronous()) {
        _post(CGeneralPtr<CAsyncCommand>(
            CTrackedFactory::create<CCmdLogMsg>(this, severity, selfId(), errCode, message)));
        return;
    }
    bool written = false;
    CAsyncResult<bool> result(&written);
    if (_post(CGeneralPtr<CAsyncCommand>(
            CTrackedFactory::create<CCmdLogMsg>(this, severity, selfId(), errCode, message, &result))))
        result.wait();
}

void CAsyncLog::syslog(const exception_list_t& exceptions)
{
    if (_shutdown.load() || exceptions.empty()) return;
    if (isLogThread()) {
        CLogTLS& state = tls();
        for (const auto& exception : exceptions)
            if (exception)
                state.processTargets(exception->severity(), selfId(), exception->err_code(),
                                     CCmdLogException::entryMessage(*exception));
        return;
    }
    if (!synchronous()) {
        _post(CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdLogException>(this, selfId(), exceptions)));
        return;
    }
    bool written = false;
    CAsyncResult<bool> result(&written);
    if (_post(
            CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdLogException>(this, selfId(), exceptions, &result))))
        result.wait();
}

void CAsyncLog::synchronous(bool value)
{
    _synchronous.store(value);
    syslog(CException::info, CMessage(value ? kSynchronous : kAsynchronous, kModule));
}

void CAsyncLog::refresh()
{
    CStringMap snapshot;
    {
        const CConfigPtr config = controller()->config();
        CConfigGuard guard(config);
        snapshot = static_cast<const CStringMap&>(*config);
    }
    bool configured = false;
    CExtAsyncResult<bool> result(controller(), &configured);
    if (isLogThread()) {
        CCmdConfigureLog command(this, snapshot, result);
        command.execute(0);
    } else if (_post(CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdConfigureLog>(this, snapshot, result)))) {
        result.wait();
    } else {
        return;
    }
    if (!result.success()) {
        const auto failure = result.exceptionFacade().outer();
        if (failure) throw *failure;
    }
    synchronous(CConfigValues(snapshot, CConfigNames::framework()).flag(CConfigNames::logSynchronous()));
}

void CAsyncLog::registerTarget(const CLogTLS::target_ptr_t& target)
{
    if (isLogThread()) {
        tls().registerTarget(target);
        return;
    }
    bool done = false;
    CAsyncResult<bool> result(&done);
    if (_post(CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdRegisterLogTarget>(this, target, result))))
        result.wait();
}

void CAsyncLog::deregisterTarget(const CLogTLS::target_ptr_t& target)
{
    if (isLogThread()) {
        tls().deregisterTarget(target);
        return;
    }
    bool done = false;
    CAsyncResult<bool> result(&done);
    if (_post(CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdDeregisterLogTarget>(this, target, result))))
        result.wait();
}

void CAsyncLog::waitUntilWritten()
{
    if (isLogThread()) return;
    bool done = false;
    CAsyncResult<bool> result(&done);
    if (_post(CGeneralPtr<CAsyncCommand>(CTrackedFactory::create<CCmdNull>(result)))) result.wait();
}

int CAsyncLog::shutdown()
{
    if (running() && !_shutdown.load()) waitUntilWritten();
    _shutdown.store(true);
    return CCommandQueueTask<>::shutdown();
}

} // namespace osk
