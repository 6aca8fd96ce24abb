#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standard/string_map.h"

// The stored policies that decide the requests of one device account, and
// the policy map that $PROV.POLICY() reads for them.
//
// Each policy comes with the domain of the account it reaches the account
// through. The policies are merged by precedence: the policy of the domain
// with the lowest PRIORITY number comes first (priority 1 before priority
// 2); domains of equal priority by name, then the policies of one domain by
// their own name (bytewise order, so "A" before "B" before "a"). A policy
// that reaches the account through several domains counts once, at its
// first place. The map takes each key from the first policy that defines
// it: on a clash the policy that comes first wins, and so does the first
// line of a key written twice within one policy's data.
class CTFTPAccountPolicies {
public:
    // What the account name found.
    enum account_state {
        noAccount,       // no name: provisioner.account.name unset or empty
        accountUnknown,  // no device account of that name
        accountDisabled, // every account of that name is disabled
        accountEnabled,
    };

    // One enabled policy as read for the account.
    struct CPolicy {
        std::string name;
        std::string domain;
        int64_t priority = 0;
        // The string-map text (key=value lines).
        std::string data;
    };

    CTFTPAccountPolicies() = default;
    // The account of that name in state, without policies.
    CTFTPAccountPolicies(const std::string& account, account_state state);
    // An enabled account: policies in any order (as read); sorted and merged
    // here.
    CTFTPAccountPolicies(const std::string& account, std::vector<CPolicy> policies);

    const std::string& account() const { return _account; }
    account_state state() const { return _state; }
    // The policies in merge order, each once.
    const std::vector<CPolicy>& policies() const { return _policies; }
    // The merged map.
    const osk::CStringMap& map() const { return _map; }

    // "enabled", "disabled", "not found", "none".
    static const char* stateText(account_state state);

private:
    std::string _account;
    account_state _state = noAccount;
    std::vector<CPolicy> _policies;
    osk::CStringMap _map;
};
