#pragma once

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <queue>
#include <vector>

#include "tftp/tftp_server/state_priority.h"

// The engine's transfers ordered by deadline: a binary heap whose top is the
// transfer to service next (see CStatePriority). When deadlines of queued
// states change (a packet arrived for them), reorder() restores the order.
class CStateQueue {
public:
    // Adds a state; a null pointer is not queued.
    void push(const CStatePtr& state);
    // Removes and returns the top; a null pointer when the queue is empty.
    CStatePtr pop();
    // The top without removing it; a null pointer when the queue is empty.
    CStatePtr top() const { return _heap.empty() ? CStatePtr() : _heap.top(); }
    // Restores the heap order after deadlines of queued states changed.
    void reorder() { _heap.reorder(); }
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
        void reorder() { std::make_heap(c.begin(), c.end(), comp); }
    };

    CHeap _heap;
};
