#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "unit/rconsole_base/console_fixture.h"

using namespace zelvo_test;

namespace {

class ClearConsoleTest : public CConsoleFixture {
protected:
    void SetUp() override { start(false); }

    std::string infoReply()
    {
        osk::CStringMap info;
        controller.info(info);
        return info.join("\n", true, "") + "code=ack\n\n";
    }
};

// A clear console that has read the greeting, for each test.
class ClearSessionTest : public ClearConsoleTest {
protected:
    void SetUp() override
    {
        ClearConsoleTest::SetUp();
        console = clearConsole();
        ASSERT_TRUE(console);
    }
    void TearDown() override
    {
        console.reset();
        ClearConsoleTest::TearDown();
    }
    std::unique_ptr<CRawConsole> console;
};

TEST_F(ClearConsoleTest, GreetingThenInfoMapWithAck)
{
    CRawConsole console;
    ASSERT_TRUE(console.connect(port));
    EXPECT_EQ(console.greeting(), "Connected to this server.\n\n");
    EXPECT_EQ(console.command("info\n\n"), infoReply());
    EXPECT_GE(controller.waitForLog("Connect from 127.0.0.1:"), 1u);
}

TEST_F(ClearSessionTest, UnknownWordsAndUpperCaseExitWordsAreUnrecognized)
{
    const std::string unrecognized = "code=nak\nmessage=Unrecognized command.\n\n";
    EXPECT_EQ(console->command("frobnicate\nkey=value\n\n"), unrecognized);
    EXPECT_EQ(controller.waitForLog("RConsole received unknown command 'frobnicate\\nkey=value\\n' from peer"),
              1u);
    EXPECT_EQ(console->command("QUIT\n\n"), unrecognized);
    EXPECT_EQ(console->command("   \n\n"), unrecognized);
    EXPECT_EQ(console->command("=value\n\n"), unrecognized);
    // Still serving.
    EXPECT_EQ(console->command("info\n\n"), infoReply());
}

TEST_F(ClearSessionTest, BlankLineFirstIsNakThenRepeatsTheLastCommandSet)
{
    EXPECT_EQ(console->command("\n"), "code=nak\nmessage=No command specified.\n\n");
    EXPECT_EQ(console->command("echo\na=1\n\n"), "a=1\necho=\ncode=ack\n\n");
    EXPECT_EQ(console->command("\n"), "a=1\necho=\ncode=ack\n\n");
    EXPECT_EQ(console->command("\n"), "a=1\necho=\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, CarriageReturnLineEnds)
{
    // CR LF LF completes the set.
    EXPECT_EQ(console->command("echo\r\nb=2\r\r\n\n"), "b=2\necho=\ncode=ack\n\n");
    // CR LF CR LF does not: the second line is kept as an empty line.
    ASSERT_TRUE(console->send("echo\r\n\r\n"));
    EXPECT_EQ(console->recvRaw(0.3), "");
    EXPECT_EQ(console->command("c=3\n\n"), "c=3\necho=\ncode=ack\n\n");
}

TEST_F(ClearConsoleTest, ExitWordsCloseWithoutReply)
{
    for (const char* word : {"quit", "exit", "bye"}) {
        auto console = clearConsole();
        ASSERT_TRUE(console);
        ASSERT_TRUE(console->send(std::string(word) + "\n\n"));
        EXPECT_TRUE(console->waitClosed()) << word;
    }
}

TEST_F(ClearSessionTest, PartialRepliesGoOutInWholeBlocks)
{
    ASSERT_TRUE(console->send("partial\nsize=5\n\n"));
    EXPECT_EQ(console->recvRaw(0.3), "");
    ASSERT_TRUE(console->send("partial\nsize=21\n\n"));
    EXPECT_EQ(console->recvRaw(2), std::string(16, 'p'));
    // The held-back bytes of an unfinished command are not sent later.
    EXPECT_EQ(console->command("echo\n\n"), "echo=\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, EmptyFinalReplyIsOneLineFeed)
{
    ASSERT_TRUE(console->send("empty\n\n"));
    EXPECT_EQ(console->recvRaw(2), "\n");
    EXPECT_EQ(controller.waitForLog("The RConsole is ending a transmission with no data."), 1u);
}

TEST_F(ClearSessionTest, FailingCommandIsNakWithItsErrorAndKeepsTheConnection)
{
    EXPECT_EQ(console->command("fail\n\n"), "code=nak\nmessage=Test command failed with reason. (Because.)\n\n");
    EXPECT_EQ(console->command("echo\n\n"), "echo=\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, HelpListsEveryWordInByteOrder)
{
    EXPECT_EQ(console->command("help\n\n"),
              "admin_password\ncount_memtrack\necho\nempty\nfail\nget_memtrack\nget_untracked\nhelp\ninfo\n"
              "partial\nsend3\nset_memtrack\ntotal_memtrack\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, NulBytesCutTheReceivedChunk)
{
    const std::string withNul("echo\na=1\0\n\n", 11);
    ASSERT_TRUE(console->send(withNul));
    EXPECT_EQ(console->recvRaw(0.3), "");
    EXPECT_EQ(console->command("\n\n"), "a=1\necho=\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, OverlongLineIsRefusedAndTheConnectionGoesOn)
{
    const std::string megabyte(1024 * 1024, 'a');
    ASSERT_TRUE(console->send(megabyte));
    EXPECT_EQ(console->command("\n\n"), "code=nak\nmessage=Command set is too long.\n\n");
    EXPECT_EQ(console->command("echo\n\n"), "echo=\ncode=ack\n\n");
}

TEST_F(ClearSessionTest, MemoryTrackingCommands)
{
    EXPECT_EQ(console->command("set_memtrack=true\n\n"), "memtrack=true\ncode=ack\n\n");
    // A handler created now is registered on the acceptor's thread.
    auto second = clearConsole();
    ASSERT_TRUE(second);
    const std::string counted = console->command("count_memtrack\n\n");
    EXPECT_NE(counted.find("rconsole-acceptor="), std::string::npos) << counted;
    const std::string listed = console->command("get_memtrack\ntasks=rconsole-acceptor\n\n");
    EXPECT_NE(listed.find("CTestConsoleHandlerE,0x"), std::string::npos) << listed;
    // The log entry follows the reply.
    EXPECT_EQ(controller.waitForLog("Memory tracking set to 'true'."), 1u);
    const std::string totals = console->command("total_memtrack\n\n");
    EXPECT_NE(totals.find("=total: "), std::string::npos) << totals;
    EXPECT_EQ(console->command("total_memtrack\ntasks=no-such-task\n\n"), "code=ack\n\n");
    EXPECT_EQ(console->command("get_untracked\ntasks=no-such-task\n\n"), "code=ack\n\n");
    EXPECT_EQ(console->command("set_memtrack\n\n"), "memtrack=false\ncode=ack\n\n");
}

TEST_F(ClearConsoleTest, FiftyConsolesRunAHundredCommandsEach)
{
    const size_t before = threadCount();
    constexpr int consoles = 50;
    constexpr int commands = 100;
    // The acceptor logs consoles in one at a time behind a listen backlog of
    // five, so the consoles connect one after the other; then all of them
    // work at once.
    std::vector<std::unique_ptr<CRawConsole>> connected;
    for (int i = 0; i < consoles; ++i) {
        connected.emplace_back(new CRawConsole);
        ASSERT_TRUE(connected.back()->connect(port));
        ASSERT_EQ(connected.back()->greeting(), "Connected to this server.\n\n");
    }
    EXPECT_EQ(threadCount(), before + consoles);
    std::vector<int> answered(consoles, 0);
    std::vector<std::thread> clients;
    for (int i = 0; i < consoles; ++i) {
        clients.emplace_back([i, &answered, &connected] {
            CRawConsole& console = *connected[i];
            for (int n = 0; n < commands; ++n) {
                const std::string value = std::to_string(i) + "-" + std::to_string(n);
                if (console.command("echo\nv=" + value + "\n\n") == "echo=\nv=" + value + "\ncode=ack\n\n")
                    ++answered[i];
            }
            console.send("quit\n\n");
            console.waitClosed();
        });
    }
    for (auto& client : clients) client.join();
    for (int i = 0; i < consoles; ++i) EXPECT_EQ(answered[i], commands) << "console " << i;
    // Every handler thread ends once its peer has gone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (threadCount() > before && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(threadCount(), before);
}

} // namespace
