#include "tftp/tftp_server/state_event.h"

#include <string>

#include "tftp/tftp_interfaces/i_descriptor.h"

CStateEvent::CStateEvent(int64_t serverIndex, CState* state)
    : osk::CAppEvent(serverIndex, osk::CAppEvent::modify, classTransfer(),
                     state ? static_cast<int64_t>(state->transferID) : 0),
      _state(state)
{
    if (!_state) return;
    if (_state->descriptor) _fd = _state->descriptor->id();
    _state->descriptor = nullptr;
    _state->fdManager = nullptr;
}

void CStateEvent::fields(field_list_t& out) const
{
    osk::CAppEvent::fields(out);
    if (!_state) return;
    const size_t first = out.size();
    _state->fields(out);
    for (size_t i = first; i < out.size(); ++i)
        if (out[i].first == "fd") out[i].second = std::to_string(_fd);
}

void CStateEvent::sm(osk::CStringMap& out) const
{
    osk::CAppEvent::sm(out);
}

const CStateEvent* CStateEvent::pointee(const osk::CAppEventPtr& event) { return pointee(event.get()); }

const CStateEvent* CStateEvent::pointee(const osk::CAppEvent* event)
{
    return dynamic_cast<const CStateEvent*>(event);
}
