#pragma once

#include <cstdint>

#include "extended/exception.h"
#include "extended/message.h"

// A log entry produced by code that does not log itself: the caller hands it
// to the log with its severity bit (osk::CException::severity_t).
struct CTFTPLogNote {
    uint32_t severity = 0;
    osk::CMessage message;
};
