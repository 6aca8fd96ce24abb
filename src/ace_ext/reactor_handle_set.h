#pragma once

#include <sys/select.h>

#include "ace_ext/reactor_base_handle_set.h"

namespace osk {

// The handle sets of one select() call: adds what select needs on top of the
// three per-mask sets - the descriptor count and the fd_set of each mask
// (null when that set is empty, so select skips it).
class CReactorHandleSet : public CReactorBaseHandleSet {
public:
    // Number of descriptors to pass to select(): highest handle + 1, 0 when
    // every set is empty.
    int width() const;
    // The fd_set of one mask bit, null when it holds no handle.
    fd_set* selectSet(ACE_Reactor_Mask bit);
};

} // namespace osk
