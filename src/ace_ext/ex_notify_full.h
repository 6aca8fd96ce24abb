#pragma once

#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace osk {

// Thrown when a reactor notification channel cannot take another item: its
// socket buffer is full, or the channel is closed.
class CExNotifyFull : public CException {
public:
    using CException::CException;
    CException* _clone() const override { return CTrackedFactory::create<CExNotifyFull>(*this); }
};

} // namespace osk
