#include "tftp/tftp_server/state_queue.h"

void CStateQueue::push(const CStatePtr& state)
{
    if (!state || contains(*state)) return;
    _heap.push_back(CEntry{state->dueTime(), state});
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
    _heap[position].state.get()->queuePosition = CState::notQueued;
    // The last entry fills the place and then finds its own.
    CEntry last = std::move(_heap.back());
    _heap.pop_back();
    if (position < _heap.size()) {
        _put(position, std::move(last));
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

void CStateQueue::_put(size_t position, CEntry&& entry)
{
    entry.state.get()->queuePosition = position;
    _heap[position] = std::move(entry);
}

void CStateQueue::_siftUp(size_t position)
{
    CEntry moving = std::move(_heap[position]);
    while (position > 0) {
        const size_t parent = (position - 1) / 2;
        if (!_later(_heap[parent], moving)) break;
        _put(position, std::move(_heap[parent]));
        position = parent;
    }
    _put(position, std::move(moving));
}

void CStateQueue::_siftDown(size_t position)
{
    const size_t size = _heap.size();
    if (2 * position + 1 >= size) return;
    CEntry moving = std::move(_heap[position]);
    for (;;) {
        const size_t left = 2 * position + 1;
        if (left >= size) break;
        size_t earliest = left;
        const size_t right = left + 1;
        if (right < size && _later(_heap[left], _heap[right])) earliest = right;
        if (!_later(moving, _heap[earliest])) break;
        _put(position, std::move(_heap[earliest]));
        position = earliest;
    }
    _put(position, std::move(moving));
}

void CStateQueue::dump(std::ostream& out) const
{
    out << "state queue, " << _heap.size() << " entries\n";
    for (const CEntry& entry : _heap)
        out << "  id=" << entry.state->transferID << " state=" << entry.state->state_string()
            << " deadline=" << entry.state->deadline().string() << "\n";
}
