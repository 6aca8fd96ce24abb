#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

// A fixture with a fresh directory for the files a test writes.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo_oodb_XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(pattern));
        char resolved[PATH_MAX];
        ASSERT_NE(nullptr, ::realpath(pattern, resolved));
        dir = resolved;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    void writeFile(const std::string& name, const std::string& text) const
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }
    std::string dir;
};
