#pragma once

#include <cstdint>
#include <memory>

#include "extended/app_event.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_interfaces/state.h"

// The transfer event: a snapshot of one transfer's state after a pass of
// the engine. Type "modify", class "transfer", instance the transfer id.
// Its text form is the application keys followed by the state's keys ("id"
// ... "status", see CState::sm).
class CStateEvent : public osk::CAppEvent {
public:
    // Takes ownership of state, made by osk::CTrackedFactory (may be null:
    // then only the application keys are written). The copy's descriptor
    // and manager belong to the engine
    // and may be gone by the time a subscriber reads the event: the
    // descriptor's id is kept and both pointers are cleared.
    CStateEvent(int64_t serverIndex, CState* state);
    ~CStateEvent() override = default;

    static const char* classTransfer() { return "transfer"; }

    void sm(osk::CStringMap& out) const override;
    void fields(field_list_t& out) const override;

    // The snapshot; null when none was given.
    const CState* state() const { return _state.get(); }
    // The id of the file open when the snapshot was taken (0 when none).
    uint64_t fd() const { return _fd; }

    // The transfer event behind a generic event; null for other kinds.
    static const CStateEvent* pointee(const osk::CAppEventPtr& event);
    static const CStateEvent* pointee(const osk::CAppEvent* event);

private:
    osk::CTrackedPtr<CState> _state;
    uint64_t _fd = 0;
};
