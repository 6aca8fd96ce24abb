#pragma once

#include <string>

#include "extended/config_names.h"

namespace osk {
class CConfig;
}

// The TFTP service's catalogue of configuration keys: the framework's keys
// plus every TFTP key with its one-line description (the text consoles show
// when they list keys), its default and when a change takes effect. Each
// accessor gives one key's name.
class CTFTPConfigNames : public osk::CConfigNames {
public:
    CTFTPConfigNames();
    ~CTFTPConfigNames() override = default;

    std::string typeName() const override { return "CTFTPConfigNames"; }

    // The catalogue of the service's keys, for readers that are given no
    // other (the engine's parts, the plug-ins).
    static const CTFTPConfigNames& service();

    // The database schema version the service expects by default.
    virtual int dbValueDefaultSchemaVersionNumber() const { return 30; }

    // Registers with config that every legacy flat key name (TFTP and
    // framework keys alike) is read as its current key. Call before the
    // configuration file is read.
    static void addLegacyTranslations(osk::CConfig& config);

    // The key names.
    static std::string virtualRoot() { return "tftp.virtual_root"; }
    static std::string enforceVirtualRoot() { return "tftp.virtual_root.enforce"; }
    static std::string preProcessor() { return "tftp.preprocessor"; }
    static std::string transferPort() { return "tftp.transfer_port"; }
    static std::string allowOverwrite() { return "tftp.overwrite.allow"; }
    static std::string allowAccess() { return "tftp.access.allow"; }
    static std::string deletePartialUploads() { return "tftp.upload.delete_partial"; }
    static std::string allowNonRootedVFS() { return "tftp.fdm.allow_non_rooted_vfs"; }
    static std::string maxConnections() { return "tftp.max_connections"; }
    static std::string maxConnectionsPerClient() { return "tftp.max_connections_per_client"; }
    static std::string maxOpenFiles() { return "system.limits.max_open_files"; }
    static std::string tftpTimeout() { return "tftp.timeout"; }
    static std::string mintftpTimeout() { return "tftp.min_timeout"; }
    static std::string maxtftpTimeout() { return "tftp.max_timeout"; }
    static std::string mintftpBlksize() { return "tftp.min_blocksize"; }
    static std::string maxtftpBlksize() { return "tftp.max_blocksize"; }
    static std::string maxRetransmits() { return "tftp.max_retransmits"; }
    static std::string allowTimeoutOption() { return "tftp.allow_timeout_option"; }
    static std::string allowBlksizeOption() { return "tftp.allow_blocksize_option"; }
    static std::string allowTsizeOption() { return "tftp.allow_tsize_option"; }
    static std::string allowWindowsizeOption() { return "tftp.allow_windowsize_option"; }
    static std::string maxWindowsize() { return "tftp.max_windowsize"; }
    static std::string pathCreation() { return "tftp.upload.create_paths"; }
    static std::string massageFilenames() { return "tftp.massage_filenames"; }
    static std::string uploadPerms() { return "tftp.upload.permissions"; }
    static std::string daemonListenOn() { return "tftp.engine.listen_on"; }
    static std::string defaultDaemonPort() { return "tftp.engine.port"; }
    static std::string busyPoll() { return "tftp.engine.busy_poll"; }
    static std::string provisionerAccountName() { return "provisioner.account.name"; }
    static std::string docsisDefs() { return "tftp.fdm.db.docsis_defs"; }
    static std::string templates() { return "tftp.fdm.db.templates"; }
    static std::string vfsNames() { return "tftp.fdm.db.vfs_names"; }
    static std::string pluginsPath() { return "system.plugins.path"; }
};
