#pragma once

#include "extended/message.h"

// A log entry produced by code that does not log itself: the caller hands it
// to the log with its severity bit (info 1, warning 2, error 4, debug 8, ...).
struct CTFTPLogNote {
    unsigned severity = 0;
    osk::CMessage message;
};
