#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using fbprov::CFbStatement;
using fbprov::CFbTransaction;

// The environment through which the parent hands the child its database and
// the pipe on which the child reports that its write is pending.
constexpr const char* childDatabase = "ZELVO_FB_CHILD_DATABASE";
constexpr const char* childReadyFd = "ZELVO_FB_CHILD_READY_FD";

// Runs only in the child that the durability test starts (a fresh process:
// the engine's threads do not survive fork, so the child execs this
// program). It commits one row, leaves a second write uncommitted, reports
// and waits to be killed.
TEST(FbDurabilityChild, DISABLED_CommitsOneRowThenWaitsInsideAWrite)
{
    const char* file = std::getenv(childDatabase);
    const char* fd = std::getenv(childReadyFd);
    ASSERT_TRUE(file && fd);
    // FIREBIRD_LOCK comes from the parent: both processes share its locks.
    fbprov::CFbConnectionSettings settings;
    settings.databaseFile(file);
    auto attachment = fbprov::CFbConnector::open(settings);
    {
        CFbTransaction transaction(*attachment, CFbTransaction::readWrite);
        CFbStatement(transaction, "INSERT INTO T (NAME) VALUES (?)").execute(transaction, {std::string("child")});
        transaction.commit();
    }
    CFbTransaction transaction(*attachment, CFbTransaction::readWrite);
    CFbStatement insert(transaction, "INSERT INTO T (NAME) VALUES (?)");
    for (int i = 0; i < 100; ++i)
        insert.execute(transaction, {"uncommitted " + std::to_string(i)});
    CFbStatement(transaction, "UPDATE T SET NAME = 'overwritten' WHERE NAME = 'parent'").execute(transaction);
    const char ready = '1';
    ASSERT_EQ(1, ::write(std::atoi(fd), &ready, 1));
    for (;;)
        ::pause();
}

class FbDurabilityTest : public fbtest::FbDatabaseTest {
protected:
    std::vector<std::string> names()
    {
        CFbTransaction transaction(db(), CFbTransaction::readOnly);
        CFbStatement query(transaction, "SELECT NAME FROM T ORDER BY NAME");
        auto rows = query.select(transaction);
        std::vector<std::string> result;
        while (rows->fetch())
            result.push_back(rows->asString(0));
        return result;
    }
};

TEST_F(FbDurabilityTest, AKilledWriterLosesOnlyItsUncommittedWork)
{
    run("CREATE TABLE T (NAME VARCHAR(40))");
    run("INSERT INTO T (NAME) VALUES (?)", {std::string("parent")});
    closeDb(); // one process at a time may open an embedded database

    int pipeFds[2];
    ASSERT_EQ(0, ::pipe(pipeFds));
    ::setenv(childDatabase, file().c_str(), 1);
    ::setenv(childReadyFd, std::to_string(pipeFds[1]).c_str(), 1);
    const char* argv[] = {"/proc/self/exe", "--gtest_also_run_disabled_tests",
                          "--gtest_filter=FbDurabilityChild.DISABLED_CommitsOneRowThenWaitsInsideAWrite", nullptr};
    // The child runs its one test whichever shard of the program this is.
    std::vector<const char*> environment;
    for (char** variable = environ; *variable; ++variable) {
        const bool shard = std::strncmp(*variable, "GTEST_TOTAL_SHARDS=", 19) == 0 ||
                           std::strncmp(*variable, "GTEST_SHARD_INDEX=", 18) == 0;
        if (!shard) environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    const pid_t child = ::fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        ::close(pipeFds[0]);
        ::execve(argv[0], const_cast<char* const*>(argv), const_cast<char* const*>(environment.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char ready = 0;
    const ssize_t got = ::read(pipeFds[0], &ready, 1);
    ::close(pipeFds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_EQ(1, got) << "the child ended before its write was pending";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    EXPECT_EQ((std::vector<std::string>{"child", "parent"}), names());
    // The database is sound after the crash: writes go on.
    run("INSERT INTO T (NAME) VALUES (?)", {std::string("after")});
    EXPECT_EQ((std::vector<std::string>{"after", "child", "parent"}), names());
}

} // namespace
