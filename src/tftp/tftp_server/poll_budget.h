#pragma once

#include <cstddef>
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
//
// Polling pays only while few transfers run. With many, datagrams for one or
// another keep arriving, each wake-up finds a batch waiting and costs little
// per datagram, and the socket runs dry mostly while every client is busy:
// polling then spends the processor on empty reads (a seventh more processor
// time per small download in a crowd of 200) and gains nothing.
class CPollBudget {
public:
    // The most transfers running at which the engine still polls.
    static constexpr size_t kMostPolledTransfers = 16;

    // limitUsec 0: never poll.
    explicit CPollBudget(int64_t limitUsec = 0) : _limit(limitUsec > 0 ? limitUsec : 0) {}

    // How long to poll now, with that many transfers running, in
    // microseconds; 0 means sleep at once.
    int64_t usec(size_t transfers) const { return transfers <= kMostPolledTransfers ? _usec : 0; }
    int64_t limit() const { return _limit; }

    // A poll as long as usec(transfers) allowed found nothing.
    void missed();
    // The next datagram came waitedUsec after the socket ran dry, polling
    // included. When a poll of the whole limit would have caught it, the
    // budget is the whole limit again.
    void waited(int64_t waitedUsec);

private:
    int64_t _limit;
    int64_t _usec = 0;
};
