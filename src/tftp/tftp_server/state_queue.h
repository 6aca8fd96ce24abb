#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "tftp/tftp_server/state_priority.h"

// The engine's transfers ordered by deadline: a binary heap whose top is the
// transfer to service next (the order of CStatePriority).
//
// The heap is indexed: every queued state records its own position
// (CState::queuePosition), so a state whose deadline changed is moved with
// update() and a finished one leaves with remove(), each in O(log n). The
// engine changes one transfer's deadline per packet; re-sorting the whole
// queue instead would cost O(n) per packet with thousands of transfers.
//
// Each entry keeps the due time it was placed by. Nearly every change moves
// a deadline later (a packet came, the next one is awaited), and such a
// change leaves the entry where it is: its key is then early, which never
// hides a transfer that is due. Only the top is brought up to date, when it
// is asked for, so a transfer that ends before its deadline comes up (most
// do) costs no move at all for its later deadlines.
class CStateQueue {
public:
    CStateQueue() = default;
    ~CStateQueue() { clear(); }
    CStateQueue(const CStateQueue&) = delete;
    CStateQueue& operator=(const CStateQueue&) = delete;

    // Adds a state; a null pointer or a state already queued is not added.
    void push(const CStatePtr& state);
    // Removes and returns the top; a null pointer when the queue is empty.
    CStatePtr pop();
    // The top without removing it; a null pointer when the queue is empty.
    CStatePtr top();
    // Restores the state's place after its deadline changed. Does nothing
    // for a state that is not queued.
    void update(const CState& state);
    // Takes the state out of the queue. False when it was not queued.
    bool remove(const CState& state);
    // True when this very state object is queued here.
    bool contains(const CState& state) const;
    size_t size() const { return _heap.size(); }
    bool empty() const { return _heap.empty(); }
    void clear();
    // One line per queued state, in heap order: transfer id, state text and
    // deadline.
    void dump(std::ostream& out) const;

private:
    struct CEntry {
        // No later than the state's due time.
        osk::CTimeval due;
        CStatePtr state;
    };

    // True when first is to be serviced after second: it is due later, or
    // as early and its state lies at the higher address.
    static bool _later(const CEntry& first, const CEntry& second)
    {
        if (first.due == second.due) return first.state.get() > second.state.get();
        return first.due > second.due;
    }
    // Brings the top's key up to its state's due time, until the top is
    // the transfer truly due first.
    void _settleTop();
    // Stores entry at position and tells its state where it is.
    void _put(size_t position, CEntry&& entry);
    // Moves the entry at position towards the top or the bottom until the
    // heap order holds again. The entry travels through a hole: each level
    // passed moves one entry, where swapping would move three.
    void _siftUp(size_t position);
    void _siftDown(size_t position);

    std::vector<CEntry> _heap;
};
