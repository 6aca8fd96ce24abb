#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/thrown.h"

// Helpers for the tests of the controller's plug-in host and process set-up.
namespace host_test {

using test_support::exists;
using test_support::readFile;
using test_support::TempDir;
using test_support::thrown;
using test_support::writeFile;

// The build directory: the test program lives in <build>/tests. The plug-ins
// the daemon loads are built here, beside libtftp_rconsole.so.
inline std::string buildDir()
{
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) throw std::runtime_error("cannot find the test program");
    std::string build(self, static_cast<size_t>(n));
    build = build.substr(0, build.find_last_of('/'));  // <build>/tests
    return build.substr(0, build.find_last_of('/'));   // <build>
}

// Where the build put the test-only plug-in libraries of plugins/<name>/.
inline std::string pluginBuildDir(const std::string& name) { return buildDir() + "/plugins/" + name; }

// Runs body in a forked child, for set-ups that change the process for good
// (root directory, user and group ids). Gives the child's exit code: body's
// result, 100 for an exception, -1 when the child did not exit normally.
inline int inChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        int code = 100;
        try {
            code = body();
        } catch (...) {
        }
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

} // namespace host_test
