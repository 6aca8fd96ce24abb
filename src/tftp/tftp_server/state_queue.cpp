#include "tftp/tftp_server/state_queue.h"

void CStateQueue::push(const CStatePtr& state)
{
    if (!state || contains(*state)) return;
    _heap.push_back(state);
    _place(_heap.size() - 1);
    _siftUp(_heap.size() - 1);
}

CStatePtr CStateQueue::pop()
{
    if (_heap.empty()) return CStatePtr();
    CStatePtr first = _heap.front();
    remove(*first);
    return first;
}

void CStateQueue::update(const CState& state)
{
    if (!contains(state)) return;
    _siftUp(state.queuePosition);
    _siftDown(state.queuePosition);
}

bool CStateQueue::remove(const CState& state)
{
    if (!contains(state)) return false;
    const size_t position = state.queuePosition;
    const size_t last = _heap.size() - 1;
    if (position != last) _swap(position, last);
    _heap.back()->queuePosition = CState::notQueued;
    _heap.pop_back();
    if (position < _heap.size()) {
        _siftUp(position);
        _siftDown(position);
    }
    return true;
}

bool CStateQueue::contains(const CState& state) const
{
    return state.queuePosition < _heap.size() && _heap[state.queuePosition].get() == &state;
}

void CStateQueue::clear()
{
    for (const CStatePtr& state : _heap) state->queuePosition = CState::notQueued;
    _heap.clear();
}

void CStateQueue::_place(size_t position) { _heap[position]->queuePosition = position; }

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
    for (const CStatePtr& state : _heap)
        out << "  id=" << state->transferID << " state=" << state->state_string()
            << " deadline=" << state->deadline().string() << "\n";
}
