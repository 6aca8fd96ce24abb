#pragma once

#include <memory>
#include <string>

#include "tftp/tftp_interfaces/tftp_account_policies.h"

// The stored policies of device accounts as the request expressions see
// them: the service's database answers (CTFTPStoredPolicies) and hands
// itself to the TFTP controller as it opens; the engine knows it only
// through this interface.
class CITFTPStoredPolicies {
public:
    using policies_ptr = std::shared_ptr<const CTFTPAccountPolicies>;

    virtual ~CITFTPStoredPolicies() = default;

    // The policies of the device account of this name (never null). An empty
    // name asks nothing and gives the state noAccount. Throws
    // osk::CException when they cannot be read.
    virtual policies_ptr policiesOf(const std::string& account) = 0;
};
