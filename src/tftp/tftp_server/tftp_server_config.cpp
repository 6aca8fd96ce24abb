#include "tftp/tftp_server/tftp_server_config.h"

#include <exception>

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

void CTFTPServerConfig::read(const osk::CStringMap& config, const expression_parser& parse)
{
    using Names = CTFTPConfigNames;
    CTFTPServerConfig next;

    if (!config.defined(Names::virtualRoot())) fail(kNoVirtualRoot);
    next._virtualRoot = config.get_path(Names::virtualRoot(), std::string());
    if (next._virtualRoot.empty()) fail(kEmptyVirtualRoot);
    parseOrFail(parse, virtualRootExpression, next._virtualRoot, kBadVirtualRoot);

    next._accessAllow = config.get_string(Names::allowAccess(), "false");
    parseOrFail(parse, accessExpression, next._accessAllow, kBadAccess);

    next._overwriteAllow = config.get_string(Names::allowOverwrite(), "false");
    parseOrFail(parse, overwriteExpression, next._overwriteAllow, kBadOverwrite);

    next._preProcessor = config.get_string(Names::preProcessor(), std::string());
    if (!next._preProcessor.empty())
        parseOrFail(parse, preProcessorExpression, next._preProcessor, kBadPreProcessor);

    CTFTPOptionLimits& limits = next._limits;
    limits.timeout_usec = config.get_usec(Names::tftpTimeout(), 3000000);
    limits.min_timeout_usec = config.get_usec(Names::mintftpTimeout(), 1000000);
    limits.max_timeout_usec = config.get_usec(Names::maxtftpTimeout(), 255000000);
    next._maxRetransmits = config.get_ulong(Names::maxRetransmits(), kDefaultMaxRetransmits);
    limits.min_blocksize = config.get_ulong(Names::mintftpBlksize(), 1);
    limits.max_blocksize = config.get_ulong(Names::maxtftpBlksize(), 8192);

    next._deletePartialUploads = config.get_bool(Names::deletePartialUploads(), true);
    next._allowNonRootedVFS = config.get_bool(Names::allowNonRootedVFS(), false);
    limits.allow_blocksize_option = config.get_bool(Names::allowBlksizeOption(), true);
    limits.allow_timeout_option = config.get_bool(Names::allowTimeoutOption(), true);
    limits.allow_tsize_option = config.get_bool(Names::allowTsizeOption(), true);

    next._timeoutText = config.get_string(Names::tftpTimeout(), "3s");
    next._maxRetransmitsText = config.get_string(Names::maxRetransmits(), "5");

    if (next._deletePartialUploads)
        next._notes.push_back(CTFTPLogNote{osk::CException::info, osk::CMessage(kPurgingPartials, kModule)});

    *this = std::move(next);
}
