#pragma once

#include <cstddef>
#include <ostream>
#include <queue>
#include <vector>

#include "tftp/tftp_server/state_priority.h"

// The engine's transfers ordered by deadline: a binary heap whose top is the
// transfer to service next (see CStatePriority). A state's deadline must not
// change while it is queued: the engine pops it, services it and pushes it
// back.
class CStateQueue {
public:
    // Adds a state; a null pointer is not queued.
    void push(const CStatePtr& state);
    // Removes and returns the top; a null pointer when the queue is empty.
    CStatePtr pop();
    size_t size() const { return _heap.size(); }
    bool empty() const { return _heap.empty(); }
    void clear();
    // One line per queued state, in heap order: transfer id, state text and
    // deadline.
    void dump(std::ostream& out) const;

private:
    // The heap's underlying container, exposed for dump().
    class CHeap : public std::priority_queue<CStatePtr, std::vector<CStatePtr>, CStatePriority> {
    public:
        const std::vector<CStatePtr>& items() const { return c; }
        void clear() { c.clear(); }
    };

    CHeap _heap;
};
