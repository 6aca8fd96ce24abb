#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "standard/string_map.h"

namespace fbprov {

// Where and how to reach the database, taken from the service's
// configuration:
// - system.db.path (default system.storage.path) and system.db.name give the
//   database file; a name without an extension gets ".fdb";
// - system.db.hostname, when set, reaches a Firebird server over TCP
//   ("host" or "host/port"); without it the embedded engine opens the file
//   in this process;
// - system.db.user (default "SYSDBA") and system.db.password;
// - system.db.page_size (default 8192) applies when the database is created;
// - system.db.cache_buffers (default: the engine's) applies to every
//   connection;
// - system.db.answer_timeout (default 10s, 0 for none) bounds each call of
//   the service's transactions (CFbCallWatchdog).
// Keys this provider ignores, because Firebird manages them itself:
// system.db.secondary_files.count and .max_size (a new database is one
// file that grows as needed), system.db.locks.exclusive and the
// system.db.mem_* keys (the engine's memory is set in firebird.conf).
class CFbConnectionSettings {
public:
    static constexpr uint32_t defaultPageSize = 8192;
    // How long opening a connection to a server may take, handshake
    // included.
    static constexpr uint32_t connectTimeoutSeconds = 10;
    static constexpr std::chrono::milliseconds defaultAnswerTimeout{10000};

    CFbConnectionSettings() = default;
    // Throws osk::CException when a key holds no usable value.
    explicit CFbConnectionSettings(const osk::CStringMap& config);

    // The database file as the host that opens it sees it.
    const std::string& databaseFile() const { return _databaseFile; }
    void databaseFile(const std::string& file) { _databaseFile = file; }
    const std::string& hostname() const { return _hostname; }
    void hostname(const std::string& host) { _hostname = host; }
    bool embedded() const { return _hostname.empty(); }
    // What Firebird attaches to: the plain file for the embedded engine,
    // "host:file" (or "host/port:file") for a server.
    std::string connectionString() const;

    const std::string& user() const { return _user; }
    void user(const std::string& name) { _user = name; }
    const std::string& password() const { return _password; }
    void password(const std::string& secret) { _password = secret; }
    uint32_t pageSize() const { return _pageSize; }
    void pageSize(uint32_t bytes) { _pageSize = bytes; }
    // 0 leaves the engine's default.
    uint32_t cacheBuffers() const { return _cacheBuffers; }
    void cacheBuffers(uint32_t pages) { _cacheBuffers = pages; }
    // 0 waits for ever.
    std::chrono::milliseconds answerTimeout() const { return _answerTimeout; }
    void answerTimeout(std::chrono::milliseconds limit) { _answerTimeout = limit; }

private:
    std::string _databaseFile;
    std::string _hostname;
    std::string _user = "SYSDBA";
    std::string _password;
    uint32_t _pageSize = defaultPageSize;
    uint32_t _cacheBuffers = 0;
    std::chrono::milliseconds _answerTimeout = defaultAnswerTimeout;
};

} // namespace fbprov
