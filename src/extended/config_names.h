#pragma once

#include <map>
#include <string>
#include <vector>

#include "extended/config_key.h"
#include "standard/string_map.h"

namespace osk {

// The registry of every configuration key the framework knows, each with a
// one-line description whose first word is the value's type, its default and
// whether a change takes effect at once or after a restart (CConfigKey). As
// a string map it holds key=description. The service registers its own keys
// in a derived registry. Built once, then only read.
//
// Every reader takes a key's default from here (defaults(), or a
// CConfigValues over the configuration), so each default is written once.
class CConfigNames : public CStringMap {
public:
    CConfigNames();
    ~CConfigNames() override = default;

    std::string typeName() const override { return "osk::CConfigNames"; }

    // The registry of the framework's keys, for readers that are given no
    // other.
    static const CConfigNames& framework();

    bool nameExists(const std::string& key) const { return defined(key); }
    // Throws on the first key of map, in key order, that is not registered.
    void validate(const CStringMap& map) const;

    // The entry of key; null when the key is not registered.
    const CConfigKey* entry(const std::string& key) const;
    // key=default for every registered key that has a fixed default.
    const CStringMap& defaults() const { return _defaults; }
    // The keys of changes that take effect only after a restart, in key
    // order, each once. Keys nobody registered are not named.
    std::vector<std::string> restartKeys(const CStringMap& changes) const;

    // The key names.
    static std::string msgLocale() { return "system.msg.locale"; }
    static std::string msgFile() { return "system.msg.file"; }
    static std::string sharedKey() { return "system.shared_key"; }
    static std::string systemIndex() { return "system.index"; }
    static std::string logTargetFile() { return "system.log.target.file"; }
    static std::string logTargetRSyslog() { return "system.log.target.rsyslog"; }
    static std::string logTargetEventLog() { return "system.log.target.eventlog"; }
    static std::string logTargetStdout() { return "system.log.target.stdout"; }
    static std::string logSynchronous() { return "system.log.synchronous"; }
    static std::string logTargets() { return "system.log.targets"; }
    static std::string logFacility() { return "system.log.facility"; }
    static std::string logLevels() { return "system.log.levels"; }
    static std::string chrootPath() { return "system.priv.chroot_path"; }
    static std::string privUid() { return "system.priv.uid"; }
    static std::string privGid() { return "system.priv.gid"; }
    static std::string privUser() { return "system.priv.user"; }
    static std::string privGroup() { return "system.priv.group"; }
    static std::string plugins() { return "system.plugins"; }
    static std::string defaultRConsolePort() { return "rconsole.port"; }
    static std::string guestLogin() { return "rconsole.guest_login"; }
    static std::string minClientVersion() { return "rconsole.min_client_version"; }
    static std::string rconsoleListenOn() { return "rconsole.listen_on"; }
    static std::string rconsoleSharedConnections() { return "rconsole.db.shared_connections"; }
    static std::string rconsoleEncryption() { return "rconsole.encryption"; }
    static std::string rconsolePassword() { return "rconsole.password"; }
    static std::string privateKeyFile() { return "rconsole.private_key_file"; }
    static std::string privateKeyPath() { return "rconsole.private_key_path"; }
    static std::string forceCommitAfterSelect() { return "rconsole.force_commit_after_select"; }
    static std::string commitTimeOut() { return "rconsole.commit_time_out"; }
    static std::string maxSelectCount() { return "rconsole.max_select_count"; }
    static std::string rconsoleMaxSessions() { return "rconsole.max_sessions"; }
    static std::string rconsoleMaxPendingLogins() { return "rconsole.max_pending_logins"; }
    static std::string rconsoleLoginTimeout() { return "rconsole.login_timeout"; }
    static std::string udpSubscribersFile() { return "udp_publisher.subscribers.file"; }
    static std::string udpMaxHistory() { return "udp_publisher.max_history"; }
    static std::string udpLatency() { return "udp_publisher.latency"; }
    static std::string prometheusListenOn() { return "prometheus.listen_on"; }
    static std::string prometheusPort() { return "prometheus.port"; }
    static std::string dbSoftVsHardCommitRatio() { return "system.db.soft_vs_hard_commit_ratio"; }
    static std::string dbStatementsFile() { return "system.db.statements.file"; }
    static std::string dbTableGroupsFile() { return "system.db.table_groups.file"; }
    static std::string dbUserSqlQueriesFile() { return "system.db.user_sql_queries.file"; }
    static std::string dbUserSqlQueryGroupsFile() { return "system.db.user_sql_query_groups.file"; }
    static std::string storagePath() { return "system.storage.path"; }
    static std::string dbPath() { return "system.db.path"; }
    static std::string dbName() { return "system.db.name"; }
    static std::string dbSyncQueries() { return "system.db.sync_queries"; }
    static std::string dbHostname() { return "system.db.hostname"; }
    static std::string dbCacheBuffers() { return "system.db.cache_buffers"; }
    static std::string dbUser() { return "system.db.user"; }
    static std::string dbPassword() { return "system.db.password"; }
    static std::string dbPageSize() { return "system.db.page_size"; }
    static std::string dbSchemaVersion() { return "system.db.schema.version"; }
    static std::string dbVersionsPath() { return "system.db.versions_path"; }
    static std::string dbSecondaryFilesCount() { return "system.db.secondary_files.count"; }
    static std::string dbSecondaryFilesMaxSize() { return "system.db.secondary_files.max_size"; }
    static std::string dbCacheTime() { return "system.db.cache.time"; }
    static std::string dbCacheEntries() { return "system.db.cache.entries"; }
    static std::string ipv6Enable() { return "ipv6.enable"; }

    // The default file name of the private key.
    static std::string defaultPrivateKeyFile() { return framework().defaults().get_string(privateKeyFile()); }

protected:
    // Sets the description of key, replacing an earlier one.
    void _addConfigName(const std::string& key, const std::string& description);
    // Registers entry (description, default, when a change applies),
    // replacing an earlier entry of its name. entry's texts must outlive the
    // registry (the catalogues hold static tables).
    void _addConfigKey(const CConfigKey& entry);

private:
    std::map<std::string, CConfigKey> _entries;
    CStringMap _defaults;
};

} // namespace osk
