#pragma once

#include <ace/Event_Handler.h>

#include "ace_ext/ex_notify_full.h"

class ACE_Reactor;

namespace osk {

// A notification channel into a reactor: a pair of connected local datagram
// sockets whose read end is registered with the reactor for reading. Any
// thread may notify() a pointer-sized item; the reactor's thread receives it
// in handle_input() and hands it to dispatch(). Writing never blocks: a full
// socket buffer is reported as CExNotifyFull.
class CReactorNotify : public ACE_Event_Handler {
public:
    CReactorNotify();
    ~CReactorNotify() override;
    CReactorNotify(const CReactorNotify&) = delete;
    CReactorNotify& operator=(const CReactorNotify&) = delete;

    // Creates the socket pair and registers its read end with the reactor.
    // An open channel is closed first.
    void open(ACE_Reactor* reactor);
    // Deregisters, drops every pending item (_clearData) and closes both ends.
    void close();
    bool isOpen() const { return _readEnd != ACE_INVALID_HANDLE; }

    // Sends the 8-byte value of data to the read end.
    void notify(void* data);

    ACE_HANDLE get_handle() const override { return _readEnd; }
    // Reads one item and dispatches it.
    int handle_input(ACE_HANDLE handle) override;

protected:
    // Receives one item on the reactor's thread. The plain channel only
    // carries wake-ups (null items); anything else is out of context.
    virtual void dispatch(void* data);
    // Reads and discards every pending item; derived channels release what
    // the items point to.
    virtual void _clearData();

    // Look at the next item without consuming it; false when none is pending.
    bool _peekData(void*& data);
    // Consume the next item; false when none is pending.
    bool _readData(void*& data);

private:
    bool _receive(void*& data, int flags);

    ACE_HANDLE _readEnd = ACE_INVALID_HANDLE;
    ACE_HANDLE _writeEnd = ACE_INVALID_HANDLE;
    ACE_Reactor* _reactor = nullptr;
};

} // namespace osk
