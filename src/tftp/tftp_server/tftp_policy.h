#pragma once

#include <string>

#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_base/tftp_expression.h"
#include "tftp/tftp_interfaces/i_tftp_stored_policies.h"
#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_server/tftp_rule.h"

namespace osk {
class CMasterController;
}

// The four per-request decisions of the engine: the virtual root of a
// transfer, the pre-processing of its request, and whether it may read or
// write (and overwrite). Each is an expression of the configuration, parsed
// once and evaluated per request for the transfer's state; a text outside
// square brackets is a literal. The engine asks only this class.
//
// Before the decisions, selectAccount() names the request's device account
// (provisioner.account.name) and gives the evaluator that account's stored
// policies, which $PROV.POLICY() reads in every decision of the request.
class CTFTPPolicy {
public:
    explicit CTFTPPolicy(osk::CMasterController* controller);
    CTFTPPolicy(const CTFTPPolicy&) = delete;
    CTFTPPolicy& operator=(const CTFTPPolicy&) = delete;

    // Parse and keep the configured texts; malformed expressions throw
    // osk::CException.
    void parseVirtualRoot(const std::string& text);
    void parseAccess(const std::string& text);
    void parseOverwrite(const std::string& text);
    void parsePreProcessor(const std::string& text);
    // An empty text: requests have no account.
    void parseAccount(const std::string& text);

    // The evaluations for one transfer. Each throws osk::CException when the
    // result cannot be had or has the wrong type.
    //
    // The account of the request and its stored policies, which the
    // evaluator keeps for the decisions that follow. With no stored
    // policies (no database) the evaluator has no policy map and null is
    // returned; with no account text, or one that gives an empty or unknown
    // value, the map is empty.
    CITFTPStoredPolicies::policies_ptr selectAccount(const CStatePtr& state);
    // The account name the last selection found ("" for none).
    const std::string& accountName() const { return _eval.account(); }
    std::string virtualRoot(const CStatePtr& state);
    // Runs the pre-processor, which may rewrite state->reqFile. False when
    // there is nothing to run.
    bool preprocess(const CStatePtr& state);
    bool accessAllowed(const CStatePtr& state);
    bool overwriteAllowed(const CStatePtr& state);

    // The provisioner the expressions consult (null: none).
    void provisioner(CITFTPProvisioner* provisioner) { _eval.provisioner(provisioner); }
    // The stored policies of device accounts (null: none).
    void storedPolicies(CITFTPStoredPolicies* policies) { _storedPolicies = policies; }

    bool hasPreProcessor() const { return !_preProcessor.text().empty(); }
    bool hasAccount() const { return !_account.text().empty(); }
    const std::string& virtualRootText() const { return _virtualRoot.text(); }

private:
    CTFTPEval _eval;
    CTFTPExpression _virtualRoot;
    CTFTPRule _access;
    CTFTPRule _overwrite;
    CTFTPExpression _preProcessor;
    CTFTPExpression _account;
    CITFTPStoredPolicies* _storedPolicies = nullptr;
    // The policies of the request being decided; the evaluator reads their
    // map.
    CITFTPStoredPolicies::policies_ptr _selected;
};
