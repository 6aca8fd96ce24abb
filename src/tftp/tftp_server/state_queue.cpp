#include "tftp/tftp_server/state_queue.h"

void CStateQueue::push(const CStatePtr& state)
{
    if (state) _heap.push(state);
}

CStatePtr CStateQueue::pop()
{
    if (_heap.empty()) return CStatePtr();
    CStatePtr top = _heap.top();
    _heap.pop();
    return top;
}

void CStateQueue::clear()
{
    _heap.clear();
}

void CStateQueue::dump(std::ostream& out) const
{
    out << "state queue, " << _heap.size() << " entries\n";
    for (const CStatePtr& state : _heap.items())
        out << "  id=" << state->transferID << " state=" << state->state_string()
            << " deadline=" << state->deadline().string() << "\n";
}
