#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "oodb/db_primary_key_generator.h"
#include "oodb/db_type_string_map.h"

class CDBBaseSession;
class CDBTableInterfaceProxy;
class CDBTransaction;

// The shared state of one table across threads: its name, its column
// definitions (always with the primary key column PK of the long type), its
// primary-key generator, which the provider made, the handle of every
// registered thread and the lock that lets one thread at a time write.
class CDBAccessorI {
public:
    // Holds the table's write lock for its lifetime. The constructor waits
    // up to the accessor's lock time-out; when the lock stays taken it marks
    // the thread as timed out and throws "Failed to acquire a lock on
    // database '%1'.". The thread that holds the lock may take it again.
    class CWriteLock {
    public:
        explicit CWriteLock(CDBAccessorI& accessor);
        ~CWriteLock();
        CWriteLock(const CWriteLock&) = delete;
        CWriteLock& operator=(const CWriteLock&) = delete;

    private:
        CDBAccessorI& _accessor;
    };

    CDBAccessorI(std::string dbName, std::string tableName, CDBTypeStringMap columnDefs,
                 std::unique_ptr<CDBPrimaryKeyGenerator> generator);
    ~CDBAccessorI();
    CDBAccessorI(const CDBAccessorI&) = delete;
    CDBAccessorI& operator=(const CDBAccessorI&) = delete;

    const std::string& tableName() const { return _tableName; }
    const CDBTypeStringMap& columnDefs() const { return _columnDefs; }
    CDBPrimaryKeyGenerator& primaryKeyGenerator() { return *_generator; }

    // The next key from the generator; remembered as the largest seen.
    int64_t getNextPrimaryKeyValue(CDBTransaction& transaction);
    // Moves the generator so that the next key follows value.
    void setPrimaryKeyGenerator(CDBTransaction& transaction, int64_t value);
    // The largest key this accessor handed out; initialKeyValue before any.
    int64_t largestKeyValue() const;
    // A stand-in key for a record that is not stored yet: negative and below
    // initialKeyValue, so it never equals a stored key or "no key"; each call
    // gives a new one.
    int64_t getNextPhoneyPrimaryKeyValue();

    // Registers the calling thread and returns its handle of the table,
    // made on the thread's first registration. Registrations are counted per
    // thread; the handle goes with the last releaseThread() of its thread.
    // Throws "Failed to register a thread for table '%1'." when the thread
    // is registered with another session.
    CDBTableInterfaceProxy& registerThread(CDBBaseSession& session);
    // Ends one registration of the calling thread; nothing when the thread
    // is not registered.
    void releaseThread();
    // The number of threads registered.
    size_t threadCount() const;

    // How long CWriteLock waits; lockTimeOut seconds unless set.
    std::chrono::milliseconds lockTimeOut() const;
    void lockTimeOut(std::chrono::milliseconds timeOut);
    // Whether the last attempt of thread to take the write lock timed out.
    bool getLockTimedOut(std::thread::id thread) const;
    void setLockTimedOut(std::thread::id thread, bool timedOut);

private:
    struct registration_t {
        std::unique_ptr<CDBTableInterfaceProxy> proxy;
        size_t count;
    };

    void _acquireWriteLock();
    void _releaseWriteLock();

    std::string _dbName;
    std::string _tableName;
    CDBTypeStringMap _columnDefs;
    std::unique_ptr<CDBPrimaryKeyGenerator> _generator;
    mutable std::mutex _lock;
    int64_t _largestKey;
    int64_t _phoneyKey;
    std::map<std::thread::id, registration_t> _threads;
    std::set<std::thread::id> _timedOut;
    std::chrono::milliseconds _lockTimeOut;
    // The write lock: its owner and how often the owner took it.
    std::condition_variable _writeReleased;
    std::thread::id _writer;
    size_t _writeDepth = 0;
};
