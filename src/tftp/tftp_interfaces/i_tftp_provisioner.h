#pragma once

#include <string>

#include "standard/multi_variant.h"

// The provisioning interface of the database provider: key/value lookups
// for the TFTP expression functions $DB.KEYVALUE(), $DB.KEYVALUE.EXISTS()
// and $DB.KEYVALUE.MANAGED_RANGE(). Arguments arrive as the string forms of
// the function's arguments in source order; the meaning of each (table,
// key, defaults) is the provider's. Each operation pushes the function's
// result on results and throws osk::CException on failure.
//
// The operations keep this order in the virtual table (after the two
// destructor entries and name()): the key/value lookup, the existence test,
// the managed-range lookup.
class CITFTPProvisioner {
public:
    virtual ~CITFTPProvisioner() = default;

    // The provider's name, for messages.
    virtual std::string name() const = 0;

    virtual void keyValue(const std::string& a1, const std::string& a2, const std::string& a3,
                          osk::CMultiVariant& results) = 0;
    virtual void keyValueExists(const std::string& a1, const std::string& a2, const std::string& a3,
                                const std::string& a4, osk::CMultiVariant& results) = 0;
    virtual void keyValueManagedRange(const std::string& a1, const std::string& a2, const std::string& a3,
                                      const std::string& a4, const std::string& a5, osk::CMultiVariant& results) = 0;
};
