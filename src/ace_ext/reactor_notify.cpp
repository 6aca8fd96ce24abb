#include "ace_ext/reactor_notify.h"

#include <ace/Reactor.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace osk {

namespace {
const char* const kModule = "ace_ext";

CException notifyError(const char* what, const char* why, const char* context, int err = 0)
{
    CException e = OSK_EXCEPTION(CMessage(what), CMessage(why), context, kModule);
    e.err_code(err);
    return e;
}

bool setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}
} // namespace

CReactorNotify::CReactorNotify() = default;

CReactorNotify::~CReactorNotify()
{
    try {
        close();
    } catch (...) {
        // A destructor cannot report; the sockets are closed regardless.
    }
}

void CReactorNotify::open(ACE_Reactor* reactor)
{
    if (!reactor)
        throw notifyError("Failed to create a notification pipe.", "The reactor does not exist.",
                          "CReactorNotify::open");
    // Opening again starts over: the old pair would otherwise stay open and
    // registered under a handle this channel no longer reports.
    close();
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, fds) != 0)
        throw notifyError("Failed to create a notification pipe.", "", "CReactorNotify::open", errno);
    if (!setNonBlocking(fds[0]) || !setNonBlocking(fds[1])) {
        const int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw notifyError("Failed to create a notification pipe.", "", "CReactorNotify::open", err);
    }
    _readEnd = fds[0];
    _writeEnd = fds[1];
    _reactor = reactor;
    this->reactor(reactor);
    if (reactor->register_handler(this, ACE_Event_Handler::READ_MASK) != 0) {
        const int err = errno;
        ::close(_readEnd);
        ::close(_writeEnd);
        _readEnd = _writeEnd = ACE_INVALID_HANDLE;
        _reactor = nullptr;
        this->reactor(nullptr);
        throw notifyError("Failed to create a notification pipe.", "", "CReactorNotify::open", err);
    }
}

void CReactorNotify::close()
{
    if (_readEnd == ACE_INVALID_HANDLE) return;
    if (_reactor)
        _reactor->remove_handler(this, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL);
    _clearData();
    ::close(_readEnd);
    ::close(_writeEnd);
    _readEnd = _writeEnd = ACE_INVALID_HANDLE;
    _reactor = nullptr;
}

void CReactorNotify::notify(void* data)
{
    const char* context = "CReactorNotify::notify";
    if (_writeEnd == ACE_INVALID_HANDLE)
        throw CExNotifyFull(CMessage("Failed to notify the target thread's reactor."),
                            CMessage("The reactor does not exist."), context, kModule, __FILE__, __LINE__);
    const ssize_t sent = ::send(_writeEnd, &data, sizeof(data), MSG_NOSIGNAL);
    if (sent == static_cast<ssize_t>(sizeof(data))) return;
    if (sent >= 0)
        throw notifyError("Failed to notify the target thread's reactor.",
                          "Invalid amount of data written to the notification pipe.", context);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
        throw CExNotifyFull(CMessage("Failed to notify the target thread's reactor."),
                            CMessage("Notification pipe overflow."), context, kModule, __FILE__, __LINE__);
    throw notifyError("Failed to notify the target thread's reactor.",
                      "Cannot write to a reactor notification pipe.", context, errno);
}

int CReactorNotify::handle_input(ACE_HANDLE)
{
    void* data = nullptr;
    if (!_readData(data)) return 0;
    dispatch(data);
    return 0;
}

void CReactorNotify::dispatch(void* data)
{
    if (data)
        throw notifyError("Failed to receive reactor notification.", "Specialized data received out of context.",
                          "CReactorNotify::dispatch");
}

void CReactorNotify::_clearData()
{
    void* data = nullptr;
    while (_readData(data)) {
    }
}

bool CReactorNotify::_peekData(void*& data) { return _receive(data, MSG_PEEK); }

bool CReactorNotify::_readData(void*& data) { return _receive(data, 0); }

bool CReactorNotify::_receive(void*& data, int flags)
{
    if (_readEnd == ACE_INVALID_HANDLE) return false;
    const ssize_t got = ::recv(_readEnd, &data, sizeof(data), flags | MSG_DONTWAIT | MSG_TRUNC);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
        throw notifyError("Failed to receive reactor notification.", "Error reading a reactor notification pipe.",
                          "CReactorNotify::_receive", errno);
    }
    if (got != static_cast<ssize_t>(sizeof(data)))
        throw notifyError("Failed to receive reactor notification.",
                          "Invalid amount of data read from the notification pipe.", "CReactorNotify::_receive");
    return true;
}

} // namespace osk
