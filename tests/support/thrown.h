#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "extended/exception.h"

// Exceptions of the code under test, caught for the checks of their texts.
namespace test_support {

// The exception action throws. When it throws none the test fails, and the
// result is an empty exception whose texts match no expected text.
inline osk::CException thrown(const std::function<void()>& action)
{
    try {
        action();
    } catch (const osk::CException& failure) {
        return failure;
    }
    ADD_FAILURE() << "no osk::CException thrown";
    return osk::CException();
}

// The what and why texts of the exception action throws, as "what / why",
// so that one comparison checks both.
inline std::string failureOf(const std::function<void()>& action)
{
    const osk::CException failure = thrown(action);
    return failure.whatMsg().formatted() + " / " + failure.whyMsg().formatted();
}

// Checks that action throws an exception with exactly these texts.
inline void expectError(const std::function<void()>& action, const std::string& what, const std::string& why)
{
    EXPECT_EQ(what + " / " + why, failureOf(action));
}

} // namespace test_support
