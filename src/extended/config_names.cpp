#include "extended/config_names.h"

#include "extended/exception.h"

namespace osk {

namespace {
// User-visible texts of the registry.
const char* const kCannotValidateKey = "Cannot validate configuration key '%1'.";
const char* const kUnrecognizedKey = "Unrecognized key.";

struct KeyDescription {
    const char* key;
    const char* description;
};

// The framework's keys. "system.shared_key" appears twice: the later
// description replaces the earlier one.
const KeyDescription kFrameworkKeys[] = {
    {"system.msg.locale",
     "string - A locale specifier for the system having the format 'language_territory'. The default is 'en_us'."},
    {"system.msg.file",
     "string - The path to a file containing translations for system messages. If not specified, messages are displayed in US English."},
    {"system.shared_key", "string - An encryption key to be used between cooperating servers."},
    {"system.shared_key",
     "byte sequence - A secret key used to authenticate cooperating servers."},
    {"system.index",
     "int - If multiple servers operate as a single unit, this value should be unique per server within the unit."},
    {"system.log.target.file",
     "string - When the 'file' log target is active, this setting specifies a file name where log messages will be written."},
    {"system.log.target.rsyslog",
     "string - When the 'rsyslog' log target is active, this setting specifies a remote syslog server ip:port."},
    {"system.log.target.eventlog",
     "string - When the 'eventlog' log target is active, this setting specifies options for logging to the local system event log. There are currently no options."},
    {"system.log.target.stdout",
     "string - When the 'stdout' log target is active, this setting specifies options for logging to the terminal."},
    {"system.log.synchronous",
     "bool - When true, the system logger operates synchronously, but performance is seriously degraded."},
    {"system.log.targets",
     "string - A list of output devices for logging (stdout,eventlog,rsyslog,file)."},
    {"system.log.facility",
     "string - The facility with which syslog messages are logged."},
    {"system.log.levels",
     "string - A list of names specifying the types of messages to log (error,warning,info,debug)."},
    {"system.priv.chroot_path",
     "string - The path to use when changing the process root."},
    {"system.priv.uid",
     "int - The user id this process should assume."},
    {"system.priv.gid",
     "int - The group id this process should assume."},
    {"system.plugins",
     "string - A list of plugins this process should load."},
    {"rconsole.port",
     "int - The default port the remote console should listen on."},
    {"rconsole.guest_login",
     "bool - When true, the 'Guest' account is enabled with read-only access. The default is false."},
    {"rconsole.min_client_version",
     "int - The login protocol minimum version accepted by this server. Default is 0, but version 1 is more secure."},
    {"rconsole.listen_on",
     "string - A list of endpoints the remote console should listen on."},
    {"rconsole.db.shared_connections",
     "boolean - When false, the remote console threads use more memory but scale well across multiple cores. The default is true."},
    {"rconsole.encryption",
     "string - Whether the remote console should use encryption."},
    {"rconsole.password",
     "string - The administrator password, in encrypted form."},
    {"rconsole.private_key_file",
     "string - The (short) name of the file for storing the private key."},
    {"rconsole.private_key_path",
     "string - The path to use when creating or loading the private key file."},
    {"rconsole.force_commit_after_select",
     "bool - Commit after 'select'? Trades inefficient 'select_next' with risk of bad DB performance due to OIT/OAT gets stuck. Default is false"},
    {"rconsole.commit_time_out",
     "long - Interval, in seconds, that the console wait until it closes the transaction of a 'select' operation? Default 600 seconds"},
    {"rconsole.max_select_count",
     "long - maximum number of records a user can request for a single SELECT/SELECT_NEXT. That is, upper limit of 'count' argument. Default 10000"},
    {"udp_publisher.subscribers.file",
     "string - A list of subscribers to receive event notifications over udp."},
    {"udp_publisher.max_history",
     "int - The maximum number of historical events the UDP publisher may hold at any time."},
    {"udp_publisher.latency",
     "string - The interval, in usec, at which the UDP publisher should publish historical events."},
    {"system.db.soft_vs_hard_commit_ratio",
     "int - maximum soft commits to the database before a hard commit is required."},
    {"system.db.statements.file",
     "string - A file containing SQL select statements to be precompiled."},
    {"system.db.table_groups.file",
     "string - A file containing mappings between SQL tables and precompiled statement groups."},
    {"system.db.user_sql_queries.file",
     "string - A file containing SQL queried that can be executed by system users."},
    {"system.db.user_sql_query_groups.file",
     "string - A file containing groups for sql user queries."},
    {"system.storage.path",
     "string - The path for all application storage."},
    {"system.db.path",
     "string - The path where the database is located. The default is to use the system storage path."},
    {"system.db.name",
     "string - The name of the database this application should use."},
    {"system.db.sync_queries",
     "boolean - When false, the server will not synchronize pre-defined sql queries on startup."},
    {"system.db.hostname",
     "string - The name of the host on which the database resides."},
    {"system.db.cache_buffers",
     "string - The number of cache buffers to use for database access."},
    {"system.db.user",
     "string - The user name to use when connecting to the database."},
    {"system.db.password",
     "string - The password to use when connecting to the database."},
    {"system.db.page_size",
     "string - The page size to use when connecting to the database."},
    {"system.db.schema.version",
     "int - Overrides the version number embedded in the application."},
    {"system.db.versions_path",
     "string - The path containing the dsql version files."},
    {"system.db.secondary_files.count",
     "int - The maximum number of secondary files the database should use (if supported by the database)."},
    {"system.db.secondary_files.max_size",
     "int - The maximum size of secondary files (if supported by the database)."},
    {"ipv6.enable",
     "boolean - When true, the server's general communication subsystems will attempt to use ipv6 if available."},
};
} // namespace

CConfigNames::CConfigNames() : CStringMap(false)
{
    for (const auto& entry : kFrameworkKeys) _addConfigName(entry.key, entry.description);
}

void CConfigNames::_addConfigName(const std::string& key, const std::string& description)
{
    (*this)[key] = description;
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
