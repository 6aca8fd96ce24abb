#pragma once

#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace osk {

// Thrown when a command queue cannot take another command.
class CExQueueFull : public CException {
public:
    using CException::CException;
    CException* _clone() const override { return CTrackedFactory::create<CExQueueFull>(*this); }
};

} // namespace osk
