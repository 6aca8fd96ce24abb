#include "tftp/tftp_server/tftp_server_config.h"

#include <exception>

#include "extended/config_values.h"
#include "extended/exception.h"
#include "tftp/tftp_server/tftp_config_names.h"

namespace {
const char* const kModule = "tftp_server";
const char* const kContext = "CTFTPServer::_readConfig";

const char* const kCannotReadConfig = "Cannot read configuration file.";
const char* const kNoVirtualRoot = "No virtual root path defined. (virtual_root=xxx)";
const char* const kEmptyVirtualRoot = "The virtual root path cannot be empty. (virtual_root=xxx).";
const char* const kBadVirtualRoot = "Cannot parse the virtual root path (virtual_root=xxx).";
const char* const kBadAccess = "Cannot parse the 'allow_access' key.";
const char* const kBadOverwrite = "Cannot parse the 'allow_overwrite' key.";
const char* const kBadPreProcessor = "Cannot parse the 'preprocessor' key.";
const char* const kBadAccount = "Cannot parse the 'provisioner.account.name' key.";
const char* const kPurgingPartials = "Partial uploads will be automatically purged.";

[[noreturn]] void fail(const char* reason)
{
    throw OSK_EXCEPTION(osk::CMessage(kCannotReadConfig, kModule), osk::CMessage(reason, kModule), kContext,
                        kModule);
}

// Hands text to the parser; any failure becomes the configuration error
// with reason.
void parseOrFail(const CTFTPServerConfig::expression_parser& parse, CTFTPServerConfig::expression_kind kind,
                 const std::string& text, const char* reason)
{
    if (!parse) return;
    try {
        parse(kind, text);
    } catch (const std::exception&) {
        fail(reason);
    }
}
} // namespace

CTFTPServerConfig::CTFTPServerConfig()
{
    const osk::CStringMap unset;
    _take(osk::CConfigValues(unset, CTFTPConfigNames::service()));
}

void CTFTPServerConfig::_take(const osk::CConfigValues& values)
{
    using Names = CTFTPConfigNames;
    _virtualRoot = values.path(Names::virtualRoot());
    _accessAllow = values.text(Names::allowAccess());
    _overwriteAllow = values.text(Names::allowOverwrite());
    _preProcessor = values.text(Names::preProcessor());
    _accountName = values.text(Names::provisionerAccountName());
    _limits = CTFTPOptionLimits(values);
    _maxRetransmits = values.ulong(Names::maxRetransmits());
    _deletePartialUploads = values.flag(Names::deletePartialUploads());
    _allowNonRootedVFS = values.flag(Names::allowNonRootedVFS());
    _busyPollUsec = values.usec(Names::busyPoll());
    _timeoutText = values.text(Names::tftpTimeout());
    _maxRetransmitsText = values.text(Names::maxRetransmits());
}

void CTFTPServerConfig::read(const osk::CStringMap& config, const expression_parser& parse)
{
    using Names = CTFTPConfigNames;
    CTFTPServerConfig next;
    next._take(osk::CConfigValues(config, Names::service()));

    if (!config.defined(Names::virtualRoot())) fail(kNoVirtualRoot);
    if (next._virtualRoot.empty()) fail(kEmptyVirtualRoot);
    parseOrFail(parse, virtualRootExpression, next._virtualRoot, kBadVirtualRoot);
    parseOrFail(parse, accessExpression, next._accessAllow, kBadAccess);
    parseOrFail(parse, overwriteExpression, next._overwriteAllow, kBadOverwrite);
    if (!next._preProcessor.empty())
        parseOrFail(parse, preProcessorExpression, next._preProcessor, kBadPreProcessor);
    if (!next._accountName.empty()) parseOrFail(parse, accountExpression, next._accountName, kBadAccount);

    if (next._deletePartialUploads)
        next._notes.push_back(CTFTPLogNote{osk::CException::info, osk::CMessage(kPurgingPartials, kModule)});

    *this = std::move(next);
}
