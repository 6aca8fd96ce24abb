#pragma once

#include <string>

#include "exp_eval/exp_eval.h"
#include "standard/string_map.h"
#include "tftp/tftp_interfaces/state.h"

class CITFTPProvisioner;

// The evaluator of the TFTP service: the built-in functions plus functions
// that read and change the transfer being decided ($SRC.IP(), $FILE.NAME(),
// $BINARY(), ...), consult provisioning policies ($PROV.POLICY()) and the
// database provider's key/value store ($DB.KEYVALUE()).
//
// The context (transfer state, policies, provisioner, account) lives in the
// evaluator and is replaced before each evaluation, so an evaluation must
// finish before the context is set for another transfer: the engine sets it
// and evaluates on the one thread that processes requests.
class CTFTPEval : public osk::CExpEval {
public:
    explicit CTFTPEval(osk::CMasterController* controller = nullptr);

    // Context setters. The state is shared (a reference is taken when it
    // differs from the current one); policies and provisioner are borrowed
    // and may be null.
    void state(const CStatePtr& state);
    void policies(const osk::CStringMap* policies) { _policies = policies; }
    void provisioner(CITFTPProvisioner* provisioner) { _provisioner = provisioner; }
    void account(const std::string& name) { _account = name; }

    const CStatePtr& state() const { return _state; }
    const osk::CStringMap* policies() const { return _policies; }
    CITFTPProvisioner* provisioner() const { return _provisioner; }
    const std::string& account() const { return _account; }

    // Whether $PROV.POLICY() and $PROV.SNMP_POLICY() log the values they
    // set at debug severity: true while the controller's log task writes
    // debug entries ("debug" among system.log.levels), so it follows every
    // reconfiguration of the log.
    bool debug() const;

    // The transfer state of the context; throws when none is set.
    CState& currentState(const char* function) const;

private:
    CStatePtr _state;
    const osk::CStringMap* _policies = nullptr;
    CITFTPProvisioner* _provisioner = nullptr;
    std::string _account;
};
