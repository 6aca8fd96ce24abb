#pragma once

#include <cstdint>

// How long the engine keeps polling its transfer socket once the socket has
// run dry, before it goes back to sleep in the reactor.
//
// Waking a sleeping thread costs tens of microseconds on an idle machine
// (more in a virtual machine, whose processor is halted when idle): more
// than a client on a fast network takes to answer a block. While answers
// come back within the limit, polling for them keeps the engine awake and
// takes that wake-up out of every block's round trip. When they stop coming
// that fast (slow clients, an idle server) each poll that finds nothing
// halves the budget, down to none, so an engine that serves slow devices
// spends nothing on polling.
class CPollBudget {
public:
    // limitUsec 0: never poll.
    explicit CPollBudget(int64_t limitUsec = 0) : _limit(limitUsec > 0 ? limitUsec : 0) {}

    // How long to poll now, in microseconds; 0 means sleep at once.
    int64_t usec() const { return _usec; }
    int64_t limit() const { return _limit; }

    // A poll of usec() found nothing.
    void missed();
    // The next datagram came waitedUsec after the socket ran dry, polling
    // included. When a poll of the whole limit would have caught it, the
    // budget is the whole limit again.
    void waited(int64_t waitedUsec);

private:
    int64_t _limit;
    int64_t _usec = 0;
};
