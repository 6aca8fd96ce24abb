#include "oodb/db_table_interface_proxy.h"

#include "extended/exception.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "oodb/db_exception.h"
#include "oodb/db_messages.h"

namespace {

// What a transaction type needs when no transaction is open.
enum when_none_t { CREATE_WITH_WARNING, CREATE, REFUSE };

struct trans_type_info_t {
    when_none_t whenNone;
    bool cursor;
};

// Indexed by the transaction type; the table in the header explains it.
constexpr trans_type_info_t kTransTypes[CDBConstants::maxTransType + 1] = {
    {CREATE_WITH_WARNING, false}, // TRANS_READ
    {CREATE_WITH_WARNING, true},  // TRANS_READ_CURSOR
    {CREATE_WITH_WARNING, false}, // TRANS_WRITE_SHORT
    {CREATE, false},              // TRANS_BEGIN
    {CREATE, true},               // TRANS_BEGIN_CURSOR
    {CREATE, false},              // TRANS_BEGIN_SHORT
    {REFUSE, false},              // TRANS_CONTINUE_SHORT
    {REFUSE, false},              // TRANS_CONTINUE
    {REFUSE, true},               // TRANS_CONTINUE_CURSOR
    {CREATE_WITH_WARNING, false}, // TRANS_WRITE
    {CREATE_WITH_WARNING, true},  // TRANS_WRITE_CURSOR
};

osk::CException cannotContinue(const char* why)
{
    return OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotContinueTransaction), osk::CMessage(why),
                         "CDBTableInterfaceProxy::createTransaction", CDBMessages::moduleOodb);
}

// The database's failure as "Failed to continue transaction.", keeping its
// error code for the callers above.
CDBException failedToContinue(const osk::CException& cause)
{
    return CDBException(OSK_EXCEPTION(osk::CMessage(CDBMessages::failedToContinueTransaction),
                                      osk::CMessage(cause.printableError()),
                                      "CDBTableInterfaceProxy::createTransaction", CDBMessages::moduleOodb),
                        CDBException::codeOf(cause));
}

} // namespace

CDBTableInterfaceProxy::CDBTableInterfaceProxy(CDBAccessorI& accessor, CDBBaseSession& session)
    : _accessor(accessor), _session(session), _table(accessor)
{
}

CDBTransaction& CDBTableInterfaceProxy::createTransaction(int transType, CDBConstants::trans_access_mode accessMode)
{
    if (transType < 0 || transType > CDBConstants::maxTransType)
        throw cannotContinue(CDBMessages::undefinedTransactionType);
    const trans_type_info_t& info = kTransTypes[transType];
    if (_transaction && !_transaction->isActiveTransaction()) closeTransaction();

    if (!_transaction) {
        if (info.whenNone == REFUSE) throw cannotContinue(CDBMessages::transactionAssumed);
        if (info.whenNone == CREATE_WITH_WARNING) _warn(osk::CMessage(CDBMessages::implicitTransaction));
        _start(transType, accessMode, info.cursor);
        return *_transaction;
    }

    const int current = _transaction->accessMode();
    if (!CDBConstants::compatibleAccessMode(accessMode, current)) {
        _warn(osk::CMessage(CDBMessages::accessModeRestart)
                  .pushs(CDBConstants::accessModeName(accessMode))
                  .pushs(CDBConstants::accessModeName(current)));
        _restart(transType, accessMode, info.cursor);
    } else if (info.cursor && !_cursorSupported) {
        _warn(osk::CMessage(CDBMessages::cursorUpgrade));
        _cursorSupported = true;
    }
    return *_transaction;
}

CDBTransaction& CDBTableInterfaceProxy::begin(CDBConstants::trans_access_mode accessMode)
{
    return createTransaction(TRANS_BEGIN, accessMode);
}

void CDBTableInterfaceProxy::end()
{
    // Taken in this order, the transaction goes before the lock.
    std::unique_ptr<CDBAccessorI::CWriteLock> lock = std::move(_writeLock);
    std::unique_ptr<CDBTransaction> transaction = std::move(_transaction);
    _cursorSupported = false;
    if (transaction && transaction->isActiveTransaction()) transaction->commit();
}

void CDBTableInterfaceProxy::closeTransaction()
{
    std::unique_ptr<CDBAccessorI::CWriteLock> lock = std::move(_writeLock);
    std::unique_ptr<CDBTransaction> transaction = std::move(_transaction);
    _cursorSupported = false;
    if (transaction && transaction->isActiveTransaction()) transaction->rollback();
}

void CDBTableInterfaceProxy::_start(int transType, CDBConstants::trans_access_mode accessMode, bool cursor)
{
    const CDBConstants::trans_access_mode mode =
        accessMode == CDBConstants::ADAPT_TO_ANY_ACCESS_NO_COMMIT ? CDBConstants::READ_WRITE_ACCESS : accessMode;
    std::unique_ptr<CDBAccessorI::CWriteLock> lock;
    if (mode != CDBConstants::READ_ONLY_ACCESS) lock = std::make_unique<CDBAccessorI::CWriteLock>(_accessor);
    try {
        _transaction = _session.beginTransaction(mode, transType);
    } catch (const osk::CException& e) {
        throw failedToContinue(e);
    }
    _writeLock = std::move(lock);
    _cursorSupported = cursor;
}

void CDBTableInterfaceProxy::_restart(int transType, CDBConstants::trans_access_mode accessMode, bool cursor)
{
    try {
        end();
    } catch (const osk::CException& e) {
        throw failedToContinue(e);
    }
    _start(transType, accessMode, cursor);
}

void CDBTableInterfaceProxy::_warn(const osk::CMessage& message) const
{
    osk::CMessage entry = message;
    entry.module(CDBMessages::moduleOodb);
    _session.controller().syslog(osk::CException::warning, entry);
}
