#include "firebird_provider/fb_attachment.h"

#include "firebird_provider/fb_status.h"

namespace fbprov {

CFbAttachment::~CFbAttachment()
{
    _statements->clear();
    if (!_attachment)
        return;
    CFbStatus status;
    _attachment->detach(status.get());
    if (status.failed())
        _attachment->release();
}

void CFbAttachment::detach()
{
    if (!_attachment)
        return;
    _statements->clear();
    CFbStatus status;
    _attachment->detach(status.get());
    status.check(osk::CMessage("Cannot close the database connection."), "CFbAttachment::detach");
    _attachment = nullptr;
}

} // namespace fbprov
