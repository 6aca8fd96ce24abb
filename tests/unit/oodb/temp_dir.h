#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

// A fixture with a fresh directory for the files a test writes; dir is its
// path with every link resolved, as the readers report file names.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char resolved[PATH_MAX];
        ASSERT_NE(nullptr, ::realpath(_temp.path().c_str(), resolved));
        dir = resolved;
    }
    void writeFile(const std::string& name, const std::string& text) const
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }
    std::string dir;

private:
    test_support::TempDir _temp;
};
