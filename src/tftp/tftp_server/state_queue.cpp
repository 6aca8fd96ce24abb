#include "tftp/tftp_server/state_queue.h"

void CStateQueue::push(const CStatePtr& state)
{
    if (!state || contains(*state)) return;
    _heap.push_back(CEntry{state->dueTime(), state});
    _place(_heap.size() - 1);
    _siftUp(_heap.size() - 1);
}

CStatePtr CStateQueue::top()
{
    _settleTop();
    return _heap.empty() ? CStatePtr() : _heap.front().state;
}

CStatePtr CStateQueue::pop()
{
    _settleTop();
    if (_heap.empty()) return CStatePtr();
    CStatePtr first = _heap.front().state;
    remove(*first);
    return first;
}

void CStateQueue::update(const CState& state)
{
    if (!contains(state)) return;
    CEntry& entry = _heap[state.queuePosition];
    const osk::CTimeval due = state.dueTime();
    // A later deadline waits until the entry reaches the top.
    if (!(due < entry.due)) return;
    entry.due = due;
    _siftUp(state.queuePosition);
}

bool CStateQueue::remove(const CState& state)
{
    if (!contains(state)) return false;
    const size_t position = state.queuePosition;
    const size_t last = _heap.size() - 1;
    if (position != last) _swap(position, last);
    _heap.back().state->queuePosition = CState::notQueued;
    _heap.pop_back();
    if (position < _heap.size()) {
        _siftUp(position);
        _siftDown(position);
    }
    return true;
}

bool CStateQueue::contains(const CState& state) const
{
    return state.queuePosition < _heap.size() && _heap[state.queuePosition].state.get() == &state;
}

void CStateQueue::clear()
{
    for (const CEntry& entry : _heap) entry.state->queuePosition = CState::notQueued;
    _heap.clear();
}

void CStateQueue::_settleTop()
{
    // Every other key is at least the top's, and no key is later than its
    // state's due time: once the top's key is its due time, no transfer is
    // due before it.
    while (!_heap.empty()) {
        CEntry& first = _heap.front();
        const osk::CTimeval due = first.state->dueTime();
        if (!(first.due < due)) return;
        first.due = due;
        _siftDown(0);
    }
}

void CStateQueue::_place(size_t position) { _heap[position].state->queuePosition = position; }

void CStateQueue::_swap(size_t a, size_t b)
{
    std::swap(_heap[a], _heap[b]);
    _place(a);
    _place(b);
}

void CStateQueue::_siftUp(size_t position)
{
    while (position > 0) {
        const size_t parent = (position - 1) / 2;
        if (!_later(parent, position)) return;
        _swap(parent, position);
        position = parent;
    }
}

void CStateQueue::_siftDown(size_t position)
{
    for (;;) {
        const size_t left = 2 * position + 1;
        if (left >= _heap.size()) return;
        size_t earliest = left;
        const size_t right = left + 1;
        if (right < _heap.size() && _later(left, right)) earliest = right;
        if (!_later(position, earliest)) return;
        _swap(position, earliest);
        position = earliest;
    }
}

void CStateQueue::dump(std::ostream& out) const
{
    out << "state queue, " << _heap.size() << " entries\n";
    for (const CEntry& entry : _heap)
        out << "  id=" << entry.state->transferID << " state=" << entry.state->state_string()
            << " deadline=" << entry.state->deadline().string() << "\n";
}
