#pragma once

#include "unit/security/expect_failure.h"

// raises() for the two modules of the object database layer.
inline ::testing::AssertionResult raisesOodb(const std::function<void()>& call, const std::string& what,
                                             const std::string& why)
{
    return raises(call, what, why, "oodb");
}

inline ::testing::AssertionResult raisesPersistence(const std::function<void()>& call, const std::string& what,
                                                    const std::string& why)
{
    return raises(call, what, why, "oodb_persistence");
}
