#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "extended/exception.h"

// Runs call and checks that it raises osk::CException with exactly these
// formatted what and why texts and this module.
inline ::testing::AssertionResult raises(const std::function<void()>& call, const std::string& what,
                                         const std::string& why, const std::string& module = "security")
{
    try {
        call();
    } catch (const osk::CException& e) {
        if (e.whatMsg().formatted() != what)
            return ::testing::AssertionFailure() << "what was '" << e.whatMsg().formatted() << "'";
        if (e.whyMsg().formatted() != why)
            return ::testing::AssertionFailure() << "why was '" << e.whyMsg().formatted() << "'";
        if (e.module() != module) return ::testing::AssertionFailure() << "module was '" << e.module() << "'";
        return ::testing::AssertionSuccess();
    } catch (...) {
        return ::testing::AssertionFailure() << "raised something other than osk::CException";
    }
    return ::testing::AssertionFailure() << "raised nothing";
}
