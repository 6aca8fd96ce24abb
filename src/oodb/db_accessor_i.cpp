#include "oodb/db_accessor_i.h"

#include <algorithm>
#include <utility>

#include "extended/exception.h"
#include "oodb/db_constants.h"
#include "oodb/db_messages.h"
#include "oodb/db_table_interface_proxy.h"

CDBAccessorI::CWriteLock::CWriteLock(CDBAccessorI& accessor) : _accessor(accessor) { _accessor._acquireWriteLock(); }

CDBAccessorI::CWriteLock::~CWriteLock() { _accessor._releaseWriteLock(); }

CDBAccessorI::CDBAccessorI(std::string dbName, std::string tableName, CDBTypeStringMap columnDefs,
                           std::unique_ptr<CDBPrimaryKeyGenerator> generator)
    : _dbName(std::move(dbName)),
      _tableName(std::move(tableName)),
      _columnDefs(std::move(columnDefs)),
      _generator(std::move(generator)),
      _largestKey(CDBConstants::initialKeyValue),
      _phoneyKey(CDBConstants::initialKeyValue),
      _lockTimeOut(std::chrono::seconds(CDBConstants::lockTimeOut))
{
    _columnDefs.setType(CDBConstants::primaryKeyColumn, CDBFieldType::DB_TYPE_LONG);
}

// The handles end their transactions, which may still hold the write lock.
CDBAccessorI::~CDBAccessorI() { _threads.clear(); }

int64_t CDBAccessorI::getNextPrimaryKeyValue(CDBTransaction& transaction)
{
    const int64_t key = _generator->next(transaction);
    std::lock_guard<std::mutex> guard(_lock);
    _largestKey = std::max(_largestKey, key);
    return key;
}

void CDBAccessorI::setPrimaryKeyGenerator(CDBTransaction& transaction, int64_t value)
{
    _generator->restart(transaction, value);
}

int64_t CDBAccessorI::largestKeyValue() const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _largestKey;
}

int64_t CDBAccessorI::getNextPhoneyPrimaryKeyValue()
{
    std::lock_guard<std::mutex> guard(_lock);
    return --_phoneyKey;
}

CDBTableInterfaceProxy& CDBAccessorI::registerThread(CDBBaseSession& session)
{
    std::lock_guard<std::mutex> guard(_lock);
    auto found = _threads.find(std::this_thread::get_id());
    if (found == _threads.end()) {
        registration_t registration{std::make_unique<CDBTableInterfaceProxy>(*this, session), 0};
        found = _threads.emplace(std::this_thread::get_id(), std::move(registration)).first;
    } else if (&found->second.proxy->session() != &session) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotRegisterThread).pushs(_tableName),
                            osk::CMessage(CDBMessages::registeredWithOtherSession), "CDBAccessorI::registerThread",
                            CDBMessages::moduleOodb);
    }
    ++found->second.count;
    return *found->second.proxy;
}

void CDBAccessorI::releaseThread()
{
    std::unique_ptr<CDBTableInterfaceProxy> last;
    {
        std::lock_guard<std::mutex> guard(_lock);
        auto found = _threads.find(std::this_thread::get_id());
        if (found == _threads.end()) return;
        if (--found->second.count > 0) return;
        last = std::move(found->second.proxy);
        _threads.erase(found);
    }
    // Destroyed outside the lock: ending its transaction releases the write
    // lock, which takes _lock again.
    last.reset();
}

size_t CDBAccessorI::threadCount() const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _threads.size();
}

std::chrono::milliseconds CDBAccessorI::lockTimeOut() const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _lockTimeOut;
}

void CDBAccessorI::lockTimeOut(std::chrono::milliseconds timeOut)
{
    std::lock_guard<std::mutex> guard(_lock);
    _lockTimeOut = timeOut;
}

bool CDBAccessorI::getLockTimedOut(std::thread::id thread) const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _timedOut.count(thread) != 0;
}

void CDBAccessorI::setLockTimedOut(std::thread::id thread, bool timedOut)
{
    std::lock_guard<std::mutex> guard(_lock);
    if (timedOut)
        _timedOut.insert(thread);
    else
        _timedOut.erase(thread);
}

void CDBAccessorI::_acquireWriteLock()
{
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(_lock);
    const bool free = _writeReleased.wait_for(guard, _lockTimeOut, [&] {
        return _writeDepth == 0 || _writer == self;
    });
    if (!free) {
        _timedOut.insert(self);
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotAcquireLock).pushs(_dbName),
                            osk::CMessage(CDBMessages::writeLockTimedOut)
                                .pushs(_tableName)
                                .push(static_cast<int64_t>(_lockTimeOut.count())),
                            "CDBAccessorI::acquireWriteLock", CDBMessages::moduleOodb);
    }
    _timedOut.erase(self);
    _writer = self;
    ++_writeDepth;
}

void CDBAccessorI::_releaseWriteLock()
{
    {
        std::lock_guard<std::mutex> guard(_lock);
        if (--_writeDepth > 0) return;
        _writer = std::thread::id();
    }
    _writeReleased.notify_all();
}
