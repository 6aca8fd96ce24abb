#include "firebird_provider/fb_transaction.h"

#include <ibase.h>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_parameter_block.h"
#include "firebird_provider/fb_status.h"

namespace fbprov {

CFbTransaction::CFbTransaction(CFbAttachment& attachment, access_mode mode, unsigned lockTimeout,
                               CFbCallWatchdog* watchdog)
    : _attachment(attachment), _mode(mode), _watchdog(watchdog)
{
    CFbParameterBlock tpb(isc_tpb_version3);
    tpb.tag(mode == readOnly ? isc_tpb_read : isc_tpb_write).tag(isc_tpb_read_committed).tag(isc_tpb_rec_version);
    if (lockTimeout == noWait)
        tpb.tag(isc_tpb_nowait);
    else
        tpb.tag(isc_tpb_wait).integer(isc_tpb_lock_timeout, lockTimeout);
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = watch();
    _transaction = attachment.get()->startTransaction(status.get(), tpb.size(), tpb.data());
    status.check(osk::CMessage("Cannot start a database transaction."), "CFbTransaction::CFbTransaction");
}

CFbTransaction::~CFbTransaction()
{
    if (!_transaction)
        return;
    CFbStatus status;
    {
        const CFbCallWatchdog::CWatch watched = watch();
        _transaction->rollback(status.get());
    }
    if (status.failed())
        _transaction->release();
}

CFbCallWatchdog::CWatch CFbTransaction::watch() const { return CFbCallWatchdog::CWatch(_watchdog, _attachment.get()); }

Firebird::ITransaction* CFbTransaction::_live(const char* context) const
{
    if (!_transaction)
        throw CFbError::make(osk::CMessage("Cannot use the database transaction."),
                             osk::CMessage("The transaction has already ended."), context);
    return _transaction;
}

void CFbTransaction::commit()
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = watch();
    _live("CFbTransaction::commit")->commit(status.get());
    status.check(osk::CMessage("Cannot commit the database transaction."), "CFbTransaction::commit");
    _transaction = nullptr;
}

void CFbTransaction::commitRetaining()
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = watch();
    _live("CFbTransaction::commitRetaining")->commitRetaining(status.get());
    status.check(osk::CMessage("Cannot commit the database transaction."), "CFbTransaction::commitRetaining");
}

void CFbTransaction::rollback()
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = watch();
    _live("CFbTransaction::rollback")->rollback(status.get());
    status.check(osk::CMessage("Cannot roll back the database transaction."), "CFbTransaction::rollback");
    _transaction = nullptr;
}

} // namespace fbprov
