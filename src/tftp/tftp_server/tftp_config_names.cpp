#include "tftp/tftp_server/tftp_config_names.h"

#include <cstdint>

#include "extended/config.h"

namespace {

// Bounds of the engine's values: a timer shorter than a millisecond spins
// the engine, RFC 2349 allows at most 255 s, and RFC 2348 block sizes end at
// 65464 bytes.
constexpr int64_t kMinTimeoutUsec = 1000;
constexpr int64_t kMaxTimeoutUsec = 255000000;
constexpr int64_t kMaxBlocksize = 65464;
// RFC 7440 windows hold 1 to 65535 blocks.
constexpr int64_t kMaxWindowsize = 65535;
// Polling longer than a millisecond would only burn a core: a wake-up costs
// far less.
constexpr int64_t kMaxBusyPollUsec = 1000;

// The TFTP keys in registration order: name, the description consoles show,
// default, when a change takes effect.
const osk::CConfigKey kTFTPKeys[] = {
    {"tftp.virtual_root", "string/expression - The virtual root directory.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::root()},
    {"tftp.virtual_root.enforce", "boolean - Deprecated; vroot is always enforced.",
     nullptr, osk::CConfigKey::atOnce, osk::CConfigRule::text()},
    {"tftp.preprocessor", "string/expression - Expressions for modifying client requests at runtime.",
     "", osk::CConfigKey::afterRestart, osk::CConfigRule::evaluated()},
    {"tftp.transfer_port", "int - The port on which to multiplex tftp file transfers.",
     "0", osk::CConfigKey::afterRestart, osk::CConfigRule::range(0, 65535)},
    {"tftp.overwrite.allow", "boolean/expression- Whether or not an upload may overwite an existing file.",
     "false", osk::CConfigKey::afterRestart, osk::CConfigRule::rule()},
    {"tftp.access.allow", "boolean/expression - Whether or not a given client is allowed access to this service.",
     "false", osk::CConfigKey::afterRestart, osk::CConfigRule::rule()},
    {"tftp.upload.delete_partial", "boolean - Whether or not to delete partial files after a failed upload.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.fdm.allow_non_rooted_vfs",
     "boolean - When true, virtual file systems can be referenced without a leading '/' character.",
     "false", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.max_connections", "int - The maximum number of simultaneous connections this server should accept.",
     "0", osk::CConfigKey::atOnce, osk::CConfigRule::range(0, INT32_MAX)},
    // One public address may front many devices (a NAT, a relay agent): a
    // site's devices booting together after an outage must fit, a single
    // runaway source must not take the whole open-file limit.
    {"tftp.max_connections_per_client",
     "int - The maximum number of simultaneous transfers one client address may run; 0 means no limit. The default is 1000.",
     "1000", osk::CConfigKey::atOnce, osk::CConfigRule::range(0, INT32_MAX)},
    {"system.limits.max_open_files", "int - The maximum number of files that may be open at one time.",
     "20000", osk::CConfigKey::afterRestart, osk::CConfigRule::range(1, INT32_MAX)},
    {"tftp.timeout", "int - The default timeout to use when transferring files.",
     "3s", osk::CConfigKey::afterRestart, osk::CConfigRule::usec(kMinTimeoutUsec, kMaxTimeoutUsec)},
    {"tftp.min_timeout", "int - The minimum timeout a client is allowed to negotiate.",
     "1s", osk::CConfigKey::afterRestart, osk::CConfigRule::usec(kMinTimeoutUsec, kMaxTimeoutUsec)},
    {"tftp.max_timeout", "int - The maximum timeout a client is allowed to negotiate.",
     "255s", osk::CConfigKey::afterRestart, osk::CConfigRule::usec(kMinTimeoutUsec, kMaxTimeoutUsec)},
    {"tftp.min_blocksize", "int - The minimum block size a client is allowed to negotiate.",
     "1", osk::CConfigKey::afterRestart, osk::CConfigRule::range(1, kMaxBlocksize)},
    {"tftp.max_blocksize", "int - The maximum block size a client is allowed to negotiate.",
     "8192", osk::CConfigKey::afterRestart, osk::CConfigRule::range(8, kMaxBlocksize)},
    {"tftp.max_retransmits", "int - The maximum number of retransmits before aborting a transfer.",
     "5", osk::CConfigKey::afterRestart, osk::CConfigRule::range(0, 1000)},
    {"tftp.allow_timeout_option", "boolean - Whether or not a client is allowed to negotiate for a timeout value.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.allow_blocksize_option",
     "boolean - Whether or not a client is allowed to negotiate for a block size value.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.allow_tsize_option",
     "boolean - Whether or not a client is allowed to receive the file size before starting a download.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.allow_windowsize_option",
     "boolean - Whether or not a client is allowed to negotiate for a window of several blocks per acknowledgement.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    // A window is sent back to back from one socket buffer: 64 blocks of
    // 1468 bytes (about 94 KiB) stay within a default send buffer.
    {"tftp.max_windowsize", "int - The largest window (blocks per acknowledgement) a client is allowed to negotiate.",
     "64", osk::CConfigKey::afterRestart, osk::CConfigRule::range(1, kMaxWindowsize)},
    {"tftp.upload.create_paths",
     "boolean - Whether or not the server will create any needed paths in order to accept an upload.",
     "false", osk::CConfigKey::atOnce, osk::CConfigRule::boolean()},
    {"tftp.massage_filenames", "boolean - Whether or not the server should check for suspicious-looking file names.",
     "true", osk::CConfigKey::afterRestart, osk::CConfigRule::boolean()},
    {"tftp.upload.permissions", "int - The permissions to be set for an uploaded file.",
     "432", osk::CConfigKey::afterRestart, osk::CConfigRule::range(0, 0777)},
    {"tftp.engine.listen_on", "string - A list of endpoints the daemon should listen on.",
     "", osk::CConfigKey::afterRestart, osk::CConfigRule::text()},
    {"tftp.engine.port", "int - The default daemon port to use if one is not specified.",
     "69", osk::CConfigKey::afterRestart, osk::CConfigRule::range(0, 65535)},
    // Long enough for a client on the same network to answer a block, short
    // enough that a fruitless poll costs less than the wake-up it tries to
    // save.
    {"tftp.engine.busy_poll",
     "duration - How long the engine keeps polling for the next packet of its transfers before it sleeps, while "
     "clients answer that fast and at most 16 transfers run; 0 turns polling off. The default is 50us.",
     "50us", osk::CConfigKey::afterRestart, osk::CConfigRule::usec(0, kMaxBusyPollUsec)},
    {"provisioner.account.name",
     "string - An expression that produces an account name for use by the provisioner.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::evaluated()},
    {"tftp.fdm.db.docsis_defs", "string - An alternate directory for locating docsis definition files.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::text()},
    {"tftp.fdm.db.templates", "string - An alternate directory for locating template files.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::text()},
    {"tftp.fdm.db.vfs_names", "string - A list of virtual filesystem names for the docsis fd manager.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::text()},
    // Read by the controller before it loads the plug-ins.
    {"system.plugins.path",
     "string - The directory the plugins are loaded from. The default is the directory of the service's own library.",
     nullptr, osk::CConfigKey::afterRestart, osk::CConfigRule::text()},
};

struct LegacyName {
    const char* legacy;
    const char* current;
};

// Flat key names of older configuration files and the keys they are read as.
const LegacyName kLegacyNames[] = {
    // TFTP keys.
    {"daemon_listen_on", "tftp.engine.listen_on"},
    {"daemon_port", "tftp.engine.port"},
    {"max_open_files", "system.limits.max_open_files"},
    {"virtual_root", "tftp.virtual_root"},
    {"enforce_virtual_root", "tftp.virtual_root.enforce"},
    {"transfer_port", "tftp.transfer_port"},
    {"allow_overwrite", "tftp.overwrite.allow"},
    {"allow_access", "tftp.access.allow"},
    {"delete_partial_uploads", "tftp.upload.delete_partial"},
    {"create_upload_paths", "tftp.upload.create_paths"},
    {"timeout", "tftp.timeout"},
    {"min_timeout", "tftp.min_timeout"},
    {"max_timeout", "tftp.max_timeout"},
    {"min_blocksize", "tftp.min_blocksize"},
    {"max_blocksize", "tftp.max_blocksize"},
    {"max_retransmits", "tftp.max_retransmits"},
    {"allow_timeout_option", "tftp.allow_timeout_option"},
    {"allow_blocksize_option", "tftp.allow_blocksize_option"},
    {"allow_tsize_option", "tftp.allow_tsize_option"},
    {"preprocessor", "tftp.preprocessor"},
    {"massage_filenames", "tftp.massage_filenames"},
    {"upload_perms", "tftp.upload.permissions"},
    // Framework keys.
    {"log_outputs", "system.log.targets"},
    {"logoutput_rsyslog", "system.log.target.rsyslog"},
    {"logoutput_file", "system.log.target.file"},
    {"logoutput_stdout", "system.log.target.stdout"},
    {"logoutput_eventlog", "system.log.target.eventlog"},
    {"logoutput_syslog", "system.log.target.syslog"},
    {"log_facility", "system.log.facility"},
    {"log_levels", "system.log.levels"},
    {"chroot_path", "system.priv.chroot_path"},
    {"set_uid", "system.priv.uid"},
    {"set_gid", "system.priv.gid"},
    {"plugins", "system.plugins"},
    {"shared_server_key", "system.shared_key"},
    {"rconsole_port", "rconsole.port"},
    {"rconsole_listen_on", "rconsole.listen_on"},
    {"rconsole_encryption", "rconsole.encryption"},
    {"password", "rconsole.password"},
    {"private_key_path", "rconsole.private_key_file"},
    {"db_name", "system.db.name"},
    {"db_host_name", "system.db.hostname"},
    {"db_cache_buffers", "system.db.cache_buffers"},
    {"db_page_size", "system.db.page_size"},
    {"db_password", "system.db.password"},
    {"db_username", "system.db.user"},
    {"db_versions", "system.db.versions_path"},
    {"db_nr_of_secondary_files", "system.db.secondary_files.count"},
    {"db_max_secondary_file_size", "system.db.secondary_files.max_size"},
    {"storage_path", "system.storage.path"},
    {"soft_vs_hard_commit_ratio", "system.db.soft_vs_hard_commit_ratio"},
    {"db_statements_file", "system.db.statements.file"},
    {"db_table_groups_file", "system.db.table_groups.file"},
    {"enable_ipv6", "ipv6.enable"},
    {"udp_subscriber_file", "udp_publisher.subscribers.file"},
    {"udp_max_history", "udp_publisher.max_history"},
    {"udp_latency", "udp_publisher.latency"},
};

} // namespace

CTFTPConfigNames::CTFTPConfigNames()
{
    for (const osk::CConfigKey& entry : kTFTPKeys) _addConfigKey(entry);
}

const CTFTPConfigNames& CTFTPConfigNames::service()
{
    static const CTFTPConfigNames catalogue;
    return catalogue;
}

void CTFTPConfigNames::addLegacyTranslations(osk::CConfig& config)
{
    for (const auto& name : kLegacyNames) config.addTranslation(name.legacy, name.current);
}
