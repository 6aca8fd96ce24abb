#include "firebird_provider/fb_status.h"

#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_master.h"

namespace fbprov {

CFbStatus::CFbStatus() : _status(CFbMaster::master()->getStatus()), _wrapper(_status) {}

CFbStatus::~CFbStatus() { _status->dispose(); }

bool CFbStatus::failed() const { return (_wrapper.getState() & Firebird::IStatus::STATE_ERRORS) != 0; }

void CFbStatus::check(const osk::CMessage& what, const char* context)
{
    if (!failed()) {
        clear();
        return;
    }
    CDBException e = CFbError::make(what, &_wrapper, context);
    clear();
    throw e;
}

} // namespace fbprov
