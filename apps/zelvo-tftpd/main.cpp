// zelvo-tftpd: the TFTP Zelvo daemon.
#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "config_catalogue_printer.h"
#include "config_check.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "standard/endpoint.h"
#include "tftp/tftp_database/tftp_database.h"
#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "tftp/tftp_server/tftp_server.h"

namespace {

const char* const kDefaultConfig = "/etc/zelvo/zelvo-tftpd.conf";

void printUsage(std::ostream& out)
{
    out << "Usage: zelvo-tftpd [--config FILE] [--foreground]\n"
           "       zelvo-tftpd --config FILE --explain CLIENT_IP:PORT rrq|wrq NAME\n"
           "       zelvo-tftpd [--config FILE] --check-config\n"
           "       zelvo-tftpd --print-config-catalogue\n"
           "       zelvo-tftpd --help | --version\n"
           "\n"
           "  --config FILE   configuration file (default " << kDefaultConfig << ")\n"
           "  --foreground    stay attached to the terminal (the daemon always runs in the\n"
           "                  foreground; run it under a service manager to detach)\n"
           "  --explain ...   print what the server would decide for one request and exit:\n"
           "                  descriptor manager, virtual root, name, full path, access and\n"
           "                  overwrite decisions, window granted, the account and the\n"
           "                  stored policies the decisions read (first wins), refusal\n"
           "  --check-config  check every key and value of the configuration (expressions\n"
           "                  are parsed), print each problem with its key and exit:\n"
           "                  status 0 when the file is usable, 1 when not\n"
           "  --print-config-catalogue\n"
           "                  print every configuration key the daemon knows: name,\n"
           "                  live or restart, default, description (tab-separated)\n"
           "  --help          show this text\n"
           "  --version       print the version and exit\n"
           "\n"
           "SIGTERM or SIGINT stops the daemon. SIGHUP reconfigures the log targets\n"
           "from the configuration, reopening log files (after a log rotation).\n";
}

// The window a client asking for one would be granted.
std::string windowText(const CTFTPOptionLimits& limits)
{
    if (!limits.allow_windowsize_option) return "1 block per acknowledgement (windowsize option not honoured)";
    return "up to " + std::to_string(limits.max_windowsize) + " blocks per acknowledgement when asked for";
}

// The account and stored policies the decisions read: the policies in
// merge order (the first wins a clash) and the map they made. Without a
// database only the account's name.
void printPolicies(std::ostream& out, const CTFTPAdmission& verdict)
{
    const std::string& name = verdict.account;
    const CITFTPStoredPolicies::policies_ptr& policies = verdict.policies;
    out << "account:            ";
    if (name.empty()) out << "(none)";
    else if (!policies) out << name << " (stored policies not read: no database)";
    else out << name << " (" << CTFTPAccountPolicies::stateText(policies->state()) << ")";
    out << "\n";
    if (!policies) return;
    out << "stored policies:    ";
    if (policies->policies().empty()) out << "(none)";
    for (size_t i = 0; i < policies->policies().size(); ++i) {
        const CTFTPAccountPolicies::CPolicy& policy = policies->policies()[i];
        out << (i ? ", " : "") << policy.name << " (domain " << policy.domain << ", priority " << policy.priority
            << ")";
    }
    out << "\n";
    const size_t entries = policies->map().size();
    out << "policy map:         ";
    if (entries == 0) out << "(empty)\n";
    else out << entries << (entries == 1 ? " entry" : " entries") << "\n";
    for (const auto& entry : policies->map()) out << "  " << entry.first << "=" << entry.second << "\n";
}

// Dry run of admission for one request, through the engine's own decision
// step. The plug-ins are loaded and opened (the descriptor managers come
// from them) but none runs: no console listens and no socket is bound. The
// service's database, when configured, is opened for the key/value
// functions.
int explain(const std::string& configPath, const std::string& client, const std::string& op,
            const std::string& name)
{
    if (op != "rrq" && op != "wrq") {
        std::cerr << "zelvo-tftpd: the operation must be 'rrq' or 'wrq'\n";
        return 2;
    }
    CTFTPController controller("zelvo-tftpd", configPath);
    controller.logLevels(osk::CException::severityMask("error"));
    controller.initDryRun();
    // The database opens as the daemon opens it (a missing one is created,
    // an older one upgraded), so that the $DB.KEYVALUE functions answer as
    // they would for the request; the lookups themselves only read. Declared
    // after the controller: it closes before the provider plug-in unloads.
    // An embedded database that the running daemon holds cannot be opened a
    // second time: the explanation then goes on without it and says so, and
    // rules that do not ask the database are explained as before.
    CTFTPDatabase database;
    std::string databaseNote;
    try {
        database.open(controller);
    } catch (const osk::CException& e) {
        databaseNote = e.printableError();
    }

    CConnReq req;
    req.src(osk::CEndpoint(client));
    req.file(name);
    req.octet_mode(true);
    req.operation(op == "rrq" ? CTFTPOpcode::rrq : CTFTPOpcode::wrq);
    const CStatePtr decided(new CState(0, CState::send_data, req.src(), req.timeout_usec(), req.blksize()));
    CState& state = *decided;
    state.transmitting = op == "rrq";
    const CTFTPAdmission verdict = controller.server()->admit(req, decided);

    std::cout << "client:             " << req.src().string() << "\n"
              << "operation:          " << (state.transmitting ? "download" : "upload") << "\n"
              << "requested name:     " << name << "\n"
              << "descriptor manager: " << (verdict.manager ? verdict.manager->managerName() : std::string("(none)")) << "\n"
              << "file system:        " << (state.protocol.empty() ? "(default)" : state.protocol) << "\n"
              << "virtual root:       " << verdict.root << "\n"
              << "name after pre-processing: " << state.reqFile << (verdict.preprocessed ? "" : " (not pre-processed)")
              << "\n"
              << "full path:          " << state.fqpn << "\n"
              << "access allowed:     " << (verdict.accessAllowed ? "yes" : "no") << "\n"
              << "overwrite allowed:  " << (verdict.overwriteAllowed ? "yes" : "no") << "\n"
              << "window:             " << windowText(controller.server()->serverConfig().limits()) << "\n";
    printPolicies(std::cout, verdict);
    if (!databaseNote.empty())
        std::cout << "database:           not opened, the $DB functions had none: " << databaseNote << "\n";
    if (verdict.admitted) {
        std::cout << "decision:           admitted\n";
        return 0;
    }
    std::cout << "decision:           refused with error " << static_cast<int>(verdict.error) << " \""
              << verdict.errorText << "\"\n"
              << "log:                " << verdict.logMessage.formatted() << "\n";
    return 1;
}

int run(const std::string& configPath)
{
    // Signals are taken by this thread alone (sigwait), so no handler runs
    // in the middle of the engine's work.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGQUIT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    // The service's database, when the configuration names one. Declared
    // before the controller, which opens it during init() and closes it
    // before unloading the provider plug-in.
    CTFTPDatabase database;
    CTFTPController controller("zelvo-tftpd", configPath);
    controller.addServicePart(&database);
    controller.handleSignals(false);
    controller.init();

    std::thread daemonThread([&controller] { controller.daemon(); });
    // The sockets are bound: requests that arrive now wait in them until
    // the engine reads them. A service manager that waits for this (a
    // systemd unit of Type=notify) starts what depends on the service now;
    // without one the call does nothing.
    sd_notify(0, "READY=1");
    int signum = 0;
    while (sigwait(&signals, &signum) == 0 && signum == SIGHUP) {
        // Log rotation: the targets are rebuilt, so a file target writes
        // to a file of the configured name again.
        controller.refreshLog();
        controller.syslog(osk::CException::info, osk::CMessage("The log targets were reconfigured.", "tftp_server"));
    }
    sd_notify(0, "STOPPING=1");
    controller.stop();
    daemonThread.join();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string configPath = kDefaultConfig;
    // Taken after every argument, so that --config may come before or after.
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            printUsage(std::cout);
            return 0;
        }
        if (arg == "--version") {
            std::cout << "zelvo-tftpd " << osk::CLibraryInfo::version() << "\n";
            return 0;
        }
        if (arg == "--foreground") continue;
        if (arg == "--config" && i + 1 < argc) {
            configPath = argv[++i];
            continue;
        }
        if (arg == "--check-config") {
            checkOnly = true;
            continue;
        }
        if (arg == "--print-config-catalogue") {
            CConfigCataloguePrinter(CTFTPConfigNames::service()).print(std::cout);
            return 0;
        }
        if (arg == "--explain" && i + 3 < argc) {
            try {
                return explain(configPath, argv[i + 1], argv[i + 2], argv[i + 3]);
            } catch (const osk::CException& e) {
                std::cerr << "zelvo-tftpd: " << e.printableError() << "\n";
                return 1;
            }
        }
        std::cerr << "zelvo-tftpd: unknown or incomplete argument '" << arg << "'\n";
        printUsage(std::cerr);
        return 2;
    }
    if (checkOnly) return CConfigCheck(configPath).run(std::cout);
    try {
        return run(configPath);
    } catch (const osk::CException& e) {
        std::cerr << "zelvo-tftpd: " << e.printableError() << "\n";
        return 1;
    }
}
