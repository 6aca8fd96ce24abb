#include "extended/config_names.h"

#include <cstdint>

#include "extended/exception.h"

namespace osk {

namespace {
// User-visible texts of the registry.
const char* const kCannotValidateKey = "Cannot validate configuration key '%1'.";
const char* const kUnrecognizedKey = "Unrecognized key.";

// The longest publishing interval that can be meant.
constexpr int64_t kHourUsec = 3600LL * 1000000LL;

// The framework's keys: name, description, default, when a change takes
// effect. "system.shared_key" appears twice: the later entry replaces the
// earlier one.
const CConfigKey kFrameworkKeys[] = {
    {"system.msg.locale",
     "string - A locale specifier for the system having the format 'language_territory'. The default is 'en_us'.",
     "en_US", CConfigKey::afterRestart, CConfigRule::text()},
    {"system.msg.file",
     "string - The path to a file containing translations for system messages. If not specified, messages are displayed in US English.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"system.shared_key", "string - An encryption key to be used between cooperating servers.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.shared_key",
     "byte sequence - A secret key used to authenticate cooperating servers.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.index",
     "int - If multiple servers operate as a single unit, this value should be unique per server within the unit.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"system.log.target.file",
     "string - When the 'file' log target is active, this setting specifies a file name where log messages will be written.",
     "", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.target.rsyslog",
     "string - When the 'rsyslog' log target is active, this setting specifies a remote syslog server ip:port.",
     "", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.target.eventlog",
     "string - When the 'eventlog' log target is active, this setting specifies options for logging to the local system event log. There are currently no options.",
     "", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.target.stdout",
     "string - When the 'stdout' log target is active, this setting specifies options for logging to the terminal.",
     "", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.synchronous",
     "bool - When true, the system logger operates synchronously, but performance is seriously degraded.",
     "false", CConfigKey::atOnce, CConfigRule::boolean()},
    {"system.log.targets",
     "string - A list of output devices for logging (stdout,eventlog,rsyslog,file).",
     "stdout,eventlog", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.facility",
     "string - The facility with which syslog messages are logged.",
     "daemon", CConfigKey::atOnce, CConfigRule::text()},
    {"system.log.levels",
     "string - A list of names specifying the types of messages to log (error,warning,info,debug).",
     "error,warning,info,audit,debug", CConfigKey::atOnce, CConfigRule::text()},
    {"system.priv.chroot_path",
     "string - The path to use when changing the process root.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"system.priv.uid",
     "int - The user id this process should assume.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, UINT32_MAX - 1)},
    {"system.priv.gid",
     "int - The group id this process should assume.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, UINT32_MAX - 1)},
    {"system.priv.user",
     "string - The name of the user this process should assume, looked up at start; system.priv.uid wins when both are set. Without system.priv.group the user's own group is assumed as well.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"system.priv.group",
     "string - The name of the group this process should assume, looked up at start; system.priv.gid wins when both are set.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"system.plugins",
     "string - A list of plugins this process should load.",
     "", CConfigKey::afterRestart, CConfigRule::plugins()},
    {"rconsole.port",
     "int - The default port the remote console should listen on.",
     "0", CConfigKey::afterRestart, CConfigRule::range(0, 65535)},
    {"rconsole.guest_login",
     "bool - When true, the 'Guest' account is enabled with read-only access. The default is false.",
     "false", CConfigKey::afterRestart, CConfigRule::boolean()},
    {"rconsole.min_client_version",
     "int - The login protocol minimum version accepted by this server. Default is 0, but version 1 is more secure.",
     "0", CConfigKey::atOnce, CConfigRule::range(0, 255)},
    {"rconsole.listen_on",
     "string - A list of endpoints the remote console should listen on.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"rconsole.db.shared_connections",
     "boolean - When false, the remote console threads use more memory but scale well across multiple cores. The default is true.",
     "true", CConfigKey::afterRestart, CConfigRule::boolean()},
    {"rconsole.encryption",
     "string - Whether the remote console should use encryption.",
     "true", CConfigKey::atOnce, CConfigRule::boolean()},
    {"rconsole.password",
     "string - The administrator password, in encrypted form.",
     "", CConfigKey::atOnce, CConfigRule::text()},
    {"rconsole.private_key_file",
     "string - The (short) name of the file for storing the private key.",
     "private_key.bin", CConfigKey::atOnce, CConfigRule::text()},
    {"rconsole.private_key_path",
     "string - The path to use when creating or loading the private key file.",
     nullptr, CConfigKey::atOnce, CConfigRule::text()},
    {"rconsole.force_commit_after_select",
     "bool - Commit after 'select'? Trades inefficient 'select_next' with risk of bad DB performance due to OIT/OAT gets stuck. Default is false",
     "false", CConfigKey::afterRestart, CConfigRule::boolean()},
    {"rconsole.commit_time_out",
     "long - Interval, in seconds, that the console wait until it closes the transaction of a 'select' operation? Default 600 seconds",
     "600", CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"rconsole.max_select_count",
     "long - maximum number of records a user can request for a single SELECT/SELECT_NEXT. That is, upper limit of 'count' argument. Default 10000",
     "10000", CConfigKey::afterRestart, CConfigRule::range(1, INT32_MAX)},
    {"rconsole.max_sessions",
     "int - The most consoles that may be logged in at once; each has a thread of its own. A console that logs in beyond it is told so and closed. 0 means no limit. The default is 64.",
     "64", CConfigKey::atOnce, CConfigRule::range(0, INT32_MAX)},
    {"rconsole.max_pending_logins",
     "int - The most connections that may be in the login exchange (or waiting for a failed login's answer) at once; a new connection beyond it closes the oldest of them. The default is 16.",
     "16", CConfigKey::atOnce, CConfigRule::range(1, INT32_MAX)},
    {"rconsole.login_timeout",
     "string - The time a new console connection has for the whole login exchange before it is closed, as a duration such as '15s' or '500ms'. The default is 15s.",
     "15s", CConfigKey::atOnce, CConfigRule::usec(100000, kHourUsec)},
    {"udp_publisher.subscribers.file",
     "string - A list of subscribers to receive event notifications over udp.",
     "", CConfigKey::afterRestart, CConfigRule::text()},
    {"udp_publisher.max_history",
     "int - The maximum number of historical events the UDP publisher may hold at any time.",
     "1000", CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"udp_publisher.latency",
     "string - The interval, in usec, at which the UDP publisher should publish historical events.",
     "100ms", CConfigKey::afterRestart, CConfigRule::usec(0, kHourUsec)},
    {"prometheus.listen_on",
     "string - The address the Prometheus exporter plugin serves its metrics on (HTTP, path /metrics). The default is 127.0.0.1.",
     "127.0.0.1", CConfigKey::afterRestart, CConfigRule::text()},
    {"prometheus.port",
     "int - The port the Prometheus exporter plugin serves its metrics on. The default is 9464.",
     "9464", CConfigKey::afterRestart, CConfigRule::range(1, 65535)},
    {"system.db.soft_vs_hard_commit_ratio",
     "int - maximum soft commits to the database before a hard commit is required. The Firebird database provider ignores it: every commit of a Firebird transaction is durable.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"system.db.statements.file",
     "string - A file containing SQL select statements to be precompiled.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.table_groups.file",
     "string - A file containing mappings between SQL tables and precompiled statement groups.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.user_sql_queries.file",
     "string - A file containing SQL queried that can be executed by system users.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.user_sql_query_groups.file",
     "string - A file containing groups for sql user queries.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.storage.path",
     "string - The path for all application storage.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.path",
     "string - The path where the database is located. The default is to use the system storage path.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.name",
     "string - The name of the database this application should use.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.sync_queries",
     "boolean - When false, the server will not synchronize pre-defined sql queries on startup. The Firebird database provider ignores it: the pre-defined queries are read from their files at each start, never kept in the database.",
     nullptr, CConfigKey::afterRestart, CConfigRule::boolean()},
    {"system.db.hostname",
     "string - The name of the host on which the database resides.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.cache_buffers",
     "string - The number of cache buffers to use for database access.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.user",
     "string - The user name to use when connecting to the database.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.password",
     "string - The password to use when connecting to the database.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.page_size",
     "string - The page size to use when connecting to the database.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.schema.version",
     "int - Overrides the version number embedded in the application.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"system.db.versions_path",
     "string - The path containing the dsql version files.",
     nullptr, CConfigKey::afterRestart, CConfigRule::text()},
    {"system.db.secondary_files.count",
     "int - The maximum number of secondary files the database should use (if supported by the database). The Firebird database provider ignores it: a Firebird database is one file that grows.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT32_MAX)},
    {"system.db.secondary_files.max_size",
     "int - The maximum size of secondary files (if supported by the database). The Firebird database provider ignores it: a Firebird database is one file that grows.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    // Knobs of database engines whose memory and locks the daemon sets up.
    // Firebird sets its own in firebird.conf and locks its database itself:
    // the keys are accepted, so that a configuration written for another
    // provider still starts, and have no effect.
    {"system.db.locks.exclusive",
     "boolean - When true, the database is opened for this process alone. The Firebird database provider ignores it: the embedded engine always holds its database for one process, a Firebird server shares it.",
     nullptr, CConfigKey::afterRestart, CConfigRule::boolean()},
    {"system.db.mem_start_max",
     "int - The most memory, in bytes, the database engine takes at start. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    {"system.db.mem_size_buffer",
     "int - The size, in bytes, of the database engine's page buffer. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    {"system.db.mem_size_sort_buffer",
     "int - The size, in bytes, of the database engine's sort buffer. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    {"system.db.mem_blocks.size",
     "int - The size, in bytes, of the memory blocks the database engine allocates. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    {"system.db.mem_blocks.cache.start",
     "int - The number of memory blocks the database engine keeps cached at start. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    {"system.db.mem_blocks.cache.extend",
     "int - The number of memory blocks the database engine adds to its cache when it runs short. The Firebird database provider ignores it: the engine's memory is set in firebird.conf.",
     nullptr, CConfigKey::afterRestart, CConfigRule::range(0, INT64_MAX)},
    // A lookup in the database costs the engine thread far more than the
    // rest of a small transfer; a few seconds of staleness is the price of
    // rules that read the database serving at the speed of constant ones.
    {"system.db.cache.time",
     "int - How long answers of the database to request expressions (key/value lookups, the stored policies of an "
     "account) are kept before the database is asked again, a duration such as 5s or 500ms; 0 asks it on every "
     "request. The default is 5s.",
     "5s", CConfigKey::afterRestart, CConfigRule::usec(0, kHourUsec)},
    // A million short answers are about a hundred megabytes.
    {"system.db.cache.entries",
     "int - The most answers of each kind (key/value lookups, accounts) kept; when full, the oldest makes room. The "
     "default is 10000.",
     "10000", CConfigKey::afterRestart, CConfigRule::range(1, 1000000)},
    // The engine's thread waits for the database's answers to request
    // expressions: a server that stops answering must not hold every
    // transfer for as long as TCP takes to give up.
    {"system.db.answer_timeout",
     "string - How long one call to the database (a statement, a fetch of rows, a commit) may go unanswered before "
     "it is cancelled, a duration such as 10s or 500ms; when the cancellation is not answered either within 2s more, "
     "the connection is closed and the next transaction opens a new one. 0 waits for ever. The default is 10s.",
     "10s", CConfigKey::afterRestart, CConfigRule::usec(0, kHourUsec)},
    {"ipv6.enable",
     "boolean - When true, the server's general communication subsystems will attempt to use ipv6 if available.",
     nullptr, CConfigKey::afterRestart, CConfigRule::boolean()},
};
} // namespace

CConfigNames::CConfigNames() : CStringMap(false)
{
    for (const CConfigKey& entry : kFrameworkKeys) _addConfigKey(entry);
}

const CConfigNames& CConfigNames::framework()
{
    static const CConfigNames catalogue;
    return catalogue;
}

void CConfigNames::_addConfigName(const std::string& key, const std::string& description)
{
    (*this)[key] = description;
}

void CConfigNames::_addConfigKey(const CConfigKey& entry)
{
    _addConfigName(entry.name, entry.description);
    _entries[entry.name] = entry;
    if (entry.defaultValue)
        _defaults[entry.name] = entry.defaultValue;
    else
        _defaults.erase(std::string(entry.name));
}

const CConfigKey* CConfigNames::entry(const std::string& key) const
{
    const auto found = _entries.find(key);
    return found == _entries.end() ? nullptr : &found->second;
}

std::vector<std::string> CConfigNames::restartKeys(const CStringMap& changes) const
{
    std::vector<std::string> keys;
    for (const auto& change : changes) {
        const CConfigKey* known = entry(change.first);
        if (!known || known->applies != CConfigKey::afterRestart) continue;
        if (keys.empty() || keys.back() != change.first) keys.push_back(change.first);
    }
    return keys;
}

void CConfigNames::validate(const CStringMap& map) const
{
    for (const auto& entry : map) {
        if (nameExists(entry.first)) continue;
        throw OSK_EXCEPTION(CMessage(kCannotValidateKey).pushs(entry.first), CMessage(kUnrecognizedKey),
                            "CConfigNames::validate", "extended");
    }
}

} // namespace osk
