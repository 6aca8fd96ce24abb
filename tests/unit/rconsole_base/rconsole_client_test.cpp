#include <gtest/gtest.h>

#include "extended/exception.h"
#include "rconsole_base/rconsole_client.h"
#include "unit/rconsole_base/console_fixture.h"

using namespace zelvo_test;

namespace {

class ConsoleClientTest : public CConsoleFixture {};

TEST_F(ConsoleClientTest, LogsInAndRunsCommandsEnciphered)
{
    storePassword("client-pw");
    start(true);
    CRConsoleClient client(5);
    client.connect("127.0.0.1", port);
    EXPECT_EQ(client.login("client-pw", true), "Connected to this server.\n\n");
    EXPECT_EQ(client.command({"echo", "k=v"}), "echo=\nk=v\ncode=ack\n\n");
    const std::string help = client.command({"help"});
    EXPECT_EQ(CRConsoleReplyReader::code(help), "ack");
    EXPECT_NE(CRConsoleReplyReader::body(help).find("info\n"), std::string::npos);
    const std::string refused = client.command({"nonsense"});
    EXPECT_EQ(CRConsoleReplyReader::code(refused), "nak");
    EXPECT_EQ(CRConsoleReplyReader::message(refused), "Unrecognized command.");
    client.quit();
}

TEST_F(ConsoleClientTest, WrongPasswordAndNoServiceThrow)
{
    storePassword("client-pw");
    start(true);
    CRConsoleClient client(5);
    client.connect("127.0.0.1", port);
    EXPECT_THROW(client.login("other", true), osk::CException);
    const uint16_t used = port;
    acceptor->shutdown();
    acceptor.reset();
    CRConsoleClient late(2);
    EXPECT_THROW(late.connect("127.0.0.1", used), osk::CException);
}

TEST_F(ConsoleClientTest, ClearConnection)
{
    start(false);
    CRConsoleClient client(5);
    client.connect("127.0.0.1", port);
    EXPECT_EQ(client.login("", false), "Connected to this server.\n\n");
    EXPECT_EQ(client.commandText("echo\n\n"), "echo=\ncode=ack\n\n");
}

} // namespace
