#include "tftp/tftp_server/tftp_policy.h"

#include <memory>

#include "extended/exception.h"
#include "tftp/tftp_interfaces/state.h"

namespace {
const char* const kModule = "tftp_server";

const char* const kTypeMismatch = "Type mismatch.";
const char* const kNotString = "Virtual root expression must return a string result.";
} // namespace

CTFTPPolicy::CTFTPPolicy(osk::CMasterController* controller)
    : _eval(controller), _virtualRoot(_eval), _access(_eval, "false"), _overwrite(_eval, "false"),
      _preProcessor(_eval), _account(_eval)
{
    // ENCRYPT/DECRYPT in rules use the deployment's shared server key.
    if (controller) _eval.initBlowfish();
}

void CTFTPPolicy::parseVirtualRoot(const std::string& text) { _virtualRoot = text; }

void CTFTPPolicy::parseAccess(const std::string& text) { _access = text; }

void CTFTPPolicy::parseOverwrite(const std::string& text) { _overwrite = text; }

void CTFTPPolicy::parsePreProcessor(const std::string& text) { _preProcessor = text; }

void CTFTPPolicy::parseAccount(const std::string& text) { _account = text; }

CITFTPStoredPolicies::policies_ptr CTFTPPolicy::selectAccount(const CStatePtr& state)
{
    // Nothing of an earlier request may decide this one, not even when the
    // selection fails half way.
    _eval.policies(nullptr);
    _eval.account(std::string());
    _selected.reset();
    std::string name;
    if (hasAccount()) {
        const osk::CVariant value = _account.value(state);
        if (value.type().type() != osk::CVariantType::t_unknown) name = value.string();
    }
    _eval.account(name);
    if (!_storedPolicies) return nullptr;
    // A request without an account costs no look-up.
    static const CITFTPStoredPolicies::policies_ptr noAccount = std::make_shared<const CTFTPAccountPolicies>();
    _selected = name.empty() ? noAccount : _storedPolicies->policiesOf(name);
    _eval.policies(&_selected->map());
    return _selected;
}

std::string CTFTPPolicy::virtualRoot(const CStatePtr& state)
{
    // A literal evaluates to its own text: no evaluation for it on every
    // request.
    if (_virtualRoot.isLiteral()) return _virtualRoot.text();
    const osk::CVariant root = _virtualRoot.value(state);
    if (root.type().type() != osk::CVariantType::t_string)
        throw OSK_EXCEPTION(osk::CMessage(kTypeMismatch, kModule), osk::CMessage(kNotString, kModule),
                            "CTFTPServer::addNewClient", kModule);
    return root.string();
}

bool CTFTPPolicy::preprocess(const CStatePtr& state)
{
    if (!hasPreProcessor()) return false;
    _preProcessor.evaluate(state);
    return true;
}

bool CTFTPPolicy::accessAllowed(const CStatePtr& state) { return _access.decide(state); }

bool CTFTPPolicy::overwriteAllowed(const CStatePtr& state) { return _overwrite.decide(state); }
