#include "ace_ext/reactor_errors.h"

#include <cerrno>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "ace_ext";
const char* const kNotifyHandlerFailed = "Failed to notify reactor handler.";
const char* const kNotSupported = "Operation not supported.";
} // namespace

void throwReactorNotifyHandler(const char* context)
{
    CException e = OSK_EXCEPTION(CMessage(kNotifyHandlerFailed), CMessage(kNotSupported), context, kModule);
    e.err_code(ENOTSUP);
    throw e;
}

} // namespace osk
