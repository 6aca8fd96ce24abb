#pragma once

#include "extended/exception.h"

namespace osk {

// Thrown when a command queue cannot take another command.
class CExQueueFull : public CException {
public:
    using CException::CException;
    CException* _clone() const override { return new CExQueueFull(*this); }
};

} // namespace osk
