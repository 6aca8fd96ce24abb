#include "tftp/tftp_interfaces/tftp_account_policies.h"

#include <algorithm>
#include <set>
#include <tuple>

CTFTPAccountPolicies::CTFTPAccountPolicies(const std::string& account, account_state state)
    : _account(account), _state(state)
{
}

CTFTPAccountPolicies::CTFTPAccountPolicies(const std::string& account, std::vector<CPolicy> policies)
    : _account(account), _state(accountEnabled)
{
    std::sort(policies.begin(), policies.end(), [](const CPolicy& left, const CPolicy& right) {
        return std::tie(left.priority, left.domain, left.name) < std::tie(right.priority, right.domain, right.name);
    });
    std::set<std::string> seen;
    for (CPolicy& policy : policies) {
        if (!seen.insert(policy.name).second) continue;
        const osk::CStringMap data(policy.data);
        for (const auto& entry : data)
            if (!_map.defined(entry.first)) _map.string_insert(entry.first, entry.second);
        _policies.push_back(std::move(policy));
    }
}

const char* CTFTPAccountPolicies::stateText(account_state state)
{
    switch (state) {
    case noAccount: return "none";
    case accountUnknown: return "not found";
    case accountDisabled: return "disabled";
    case accountEnabled: return "enabled";
    }
    return "none";
}
