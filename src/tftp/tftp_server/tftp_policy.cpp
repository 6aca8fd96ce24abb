#include "tftp/tftp_server/tftp_policy.h"

#include <algorithm>
#include <cctype>

#include "extended/exception.h"
#include "tftp/tftp_server/state.h"

namespace {
const char* const kModule = "tftp_server";

const char* const kTypeMismatch = "Type mismatch.";
const char* const kNotBoolean = "Expression does not evaluate to a boolean result.";
const char* const kNotString = "Virtual root expression must return a string result.";
const char* const kCannotParse = "Cannot parse expression '%1'.";
const char* const kOnlyLiterals = "Only literal values are understood by this build.";

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}
} // namespace

bool CTFTPPolicy::booleanLiteral(const std::string& text)
{
    const std::string value = lowered(text);
    if (value == "true" || value == "yes" || value == "on" || value == "1") return true;
    if (value == "false" || value == "no" || value == "off" || value == "0") return false;
    throw OSK_EXCEPTION(osk::CMessage(kTypeMismatch, kModule), osk::CMessage(kNotBoolean, kModule),
                        "CTFTPPolicy::booleanLiteral", kModule);
}

void CTFTPPolicy::parseVirtualRoot(const std::string& text)
{
    if (text.empty())
        throw OSK_EXCEPTION(osk::CMessage(kTypeMismatch, kModule), osk::CMessage(kNotString, kModule),
                            "CTFTPPolicy::parseVirtualRoot", kModule);
    _virtualRoot = text;
}

void CTFTPPolicy::parseAccess(const std::string& text) { _access = booleanLiteral(text); }

void CTFTPPolicy::parseOverwrite(const std::string& text) { _overwrite = booleanLiteral(text); }

void CTFTPPolicy::parsePreProcessor(const std::string& text)
{
    if (!text.empty())
        throw OSK_EXCEPTION(osk::CMessage(kCannotParse, kModule).pushs(text), osk::CMessage(kOnlyLiterals, kModule),
                            "CTFTPPolicy::parsePreProcessor", kModule);
    _preProcessor.clear();
}

std::string CTFTPPolicy::virtualRoot(const CState&) const
{
    if (_virtualRoot.empty())
        throw OSK_EXCEPTION(osk::CMessage(kTypeMismatch, kModule), osk::CMessage(kNotString, kModule),
                            "CTFTPServer::addNewClient", kModule);
    return _virtualRoot;
}

bool CTFTPPolicy::preprocess(CState&) const { return false; }

bool CTFTPPolicy::accessAllowed(const CState&) const { return _access; }

bool CTFTPPolicy::overwriteAllowed(const CState&) const { return _overwrite; }
