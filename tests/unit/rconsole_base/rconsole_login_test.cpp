#include <gtest/gtest.h>

#include <random>

#include "support/temp_dir.h"
#include "unit/rconsole_base/console_fixture.h"

using namespace zelvo_test;

namespace {

const char* const kGreeting = "Connected to this server.\n\n";

class EncipheredConsoleTest : public CConsoleFixture {
protected:
    // Connects, logs in and reads the greeting; empty when refused.
    std::string loginAndGreet(CRawConsole& console, const std::string& password, uint8_t version = 1)
    {
        if (!console.connect(port)) return "no connection";
        if (!console.login(password, version)) return "login not sent";
        return console.greeting();
    }
    // Connects and logs in; true when the service then closes the connection.
    bool loginRefused(const std::string& password, uint8_t version = 1, const std::string& account = std::string())
    {
        CRawConsole console;
        return console.connect(port) && console.login(password, version, account) && console.waitClosed();
    }
};

TEST_F(EncipheredConsoleTest, NoStoredPasswordMeansOneSpace)
{
    start(true);
    CRawConsole console;
    EXPECT_EQ(loginAndGreet(console, " "), kGreeting);
    EXPECT_EQ(console.command("echo\nx=1\n\n"), "echo=\nx=1\ncode=ack\n\n");
    // The challenge layout: zero name area, version 0, flag 1.
    const rconsole_auth_protocol& challenge = console.challenge();
    for (size_t i = 0; i < rconsole_auth_protocol::nameLength; ++i) ASSERT_EQ(challenge.name[i], 0);
    EXPECT_EQ(challenge.version, 0);
    EXPECT_EQ(challenge.flag, 1);
}

TEST_F(EncipheredConsoleTest, EveryByteAfterTheLoginIsEnciphered)
{
    start(true);
    CRawConsole console;
    ASSERT_TRUE(console.connect(port));
    ASSERT_TRUE(console.login(" "));
    std::string raw;
    while (raw.size() < 32) {
        const std::string more = console.recvRaw(5);
        if (more.empty()) break;
        raw += more;
    }
    ASSERT_EQ(raw.size(), 32u); // 27 bytes of greeting, padded to 4 blocks
    EXPECT_EQ(raw.find("Connected"), std::string::npos);
    std::string clear = raw;
    for (size_t i = 0; i < clear.size(); i += 8) console.cipher().decrypt(&clear[i], 8, osk::CBlowfish::modeCBC);
    EXPECT_EQ(clear, std::string(kGreeting) + std::string(5, '\0'));

    // A 3-byte reply is one block.
    ASSERT_TRUE(console.send("send3\n\n"));
    std::string block = console.recvRaw(5);
    ASSERT_EQ(block.size(), 8u);
    console.cipher().decrypt(&block[0], 8, osk::CBlowfish::modeCBC);
    EXPECT_EQ(block, std::string("abc\0\0\0\0\0", 8));

    // Partial replies in whole blocks: 21 bytes send 16.
    ASSERT_TRUE(console.send("partial\nsize=21\n\n"));
    EXPECT_EQ(console.recvRaw(5).size(), 16u);
}

TEST_F(EncipheredConsoleTest, StoredPasswordAndProtocolVersions)
{
    storePassword("abcdefghij");
    start(true);
    {
        CRawConsole console;
        EXPECT_EQ(loginAndGreet(console, "abcdefghij", 1), kGreeting);
    }
    {
        // Version 0 keys with the first 7 characters only.
        CRawConsole console;
        EXPECT_EQ(loginAndGreet(console, "abcdefgXYZ", 0), kGreeting);
        EXPECT_EQ(console.command("echo\n\n"), "echo=\ncode=ack\n\n");
    }
    // Version 1 uses all ten.
    EXPECT_TRUE(loginRefused("abcdefgXYZ", 1));
    EXPECT_GE(controller.waitForLog("Login failure from 127.0.0.1:"), 1u);
}

TEST_F(EncipheredConsoleTest, LoginsUseTheKeyTheControllerKeepsNotTheFile)
{
    storePassword("abcdefghij");
    controller.initPrivateKey();
    start(true);
    // The file changed under the running service (as good as unreadable,
    // as it is after the privileges are dropped): logins do not read it, the
    // stored password still deciphers with the kept key.
    const std::string file = controller.dir() + "/private_key.bin";
    {
        std::ofstream other(file, std::ios::binary | std::ios::trunc);
        other << std::string(osk::CBlowfish::keyFileLength, 'x');
    }
    for (int login = 0; login < 2; ++login) {
        CRawConsole console;
        EXPECT_EQ(loginAndGreet(console, "abcdefghij", 1), kGreeting);
    }
    EXPECT_EQ(controller.countContaining("Login failure"), 0u);
}

TEST_F(EncipheredConsoleTest, MinimumVersionRefusesOlderConsoles)
{
    storePassword("abcdefghij");
    controller.config()->set_uint8("rconsole.min_client_version", 1);
    start(true);
    EXPECT_TRUE(loginRefused("abcdefghij", 0));
    EXPECT_EQ(controller.waitForLog("using login protocol version 0. (The minimum required version is 1.)"),
              1u);
    CRawConsole current;
    EXPECT_EQ(loginAndGreet(current, "abcdefghij", 1), kGreeting);
}

TEST_F(EncipheredConsoleTest, WrongPasswordAndNamedAccountClose)
{
    storePassword("secret");
    start(true);
    EXPECT_TRUE(loginRefused("Secret"));
    EXPECT_TRUE(loginRefused("secret", 1, "someone"));
    // Both come from one address: one burst, logged at its first failure
    // and, when it ends (here: at shutdown), once with its count.
    EXPECT_EQ(controller.waitForLog("Login failure from 127.0.0.1:"), 1u);
    acceptor->shutdown();
    EXPECT_EQ(controller.countContaining("Login failure from"), 1u);
    EXPECT_EQ(controller.countContaining("Login failures from 127.0.0.1: 2 within 0 seconds."), 1u);
}

TEST_F(EncipheredConsoleTest, AdminPasswordChangeTakesEffectAndIsWrittenBack)
{
    start(true);
    {
        CRawConsole console;
        ASSERT_EQ(loginAndGreet(console, " "), kGreeting);
        EXPECT_EQ(console.command("admin_password=n3w-Pass\n\n"), "code=ack\n\n");
    }
    EXPECT_EQ(controller.waitForLog("Admin password change succeeded by user 'Admin' from 127.0.0.1:"), 1u);
    const std::string text = test_support::readFile(controller.dir() + "/zelvo.conf");
    EXPECT_NE(text.find("rconsole.password="), std::string::npos);
    EXPECT_EQ(text.find("n3w-Pass"), std::string::npos);

    EXPECT_TRUE(loginRefused(" "));
    CRawConsole renewed;
    EXPECT_EQ(loginAndGreet(renewed, "n3w-Pass"), kGreeting);
    // The command's lines never reach the log.
    EXPECT_EQ(controller.countContaining("n3w-Pass"), 0u);
}

TEST_F(EncipheredConsoleTest, EmptyAdminPasswordIsRefusedAndChangesNothing)
{
    storePassword("secret");
    start(true);
    const std::string stored = controller.config()->get_string("rconsole.password", "");
    const std::string refusal =
        "code=nak\nmessage=The new password is empty. Send it as 'admin_password=NEW-PASSWORD'.\n\n";
    {
        CRawConsole console;
        ASSERT_EQ(loginAndGreet(console, "secret"), kGreeting);
        EXPECT_EQ(console.command("admin_password=\n\n"), refusal);
        EXPECT_EQ(console.command("admin_password\n\n"), refusal);
        // The command word alone on its line and the password on a second
        // line: the command's own (empty) value is the password.
        EXPECT_EQ(console.command("admin_password\nadmin_password=other\n\n"), refusal);
    }
    EXPECT_EQ(stored, controller.config()->get_string("rconsole.password", ""));
    EXPECT_EQ(controller.countContaining("Admin password change"), 0u);
    // Neither a single space nor anything else but the old password logs in.
    EXPECT_TRUE(loginRefused(" "));
    CRawConsole same;
    EXPECT_EQ(loginAndGreet(same, "secret"), kGreeting);
}

TEST_F(EncipheredConsoleTest, MalformedLoginBlocksCloseCleanly)
{
    start(true);
    std::mt19937 random(7);
    for (uint8_t first : {uint8_t(0), uint8_t(0x41)}) {
        // Random bytes in place of a response.
        CRawConsole console;
        ASSERT_TRUE(console.connect(port));
        ASSERT_TRUE(console.readChallenge());
        std::string junk(1024, '\0');
        for (auto& c : junk) c = static_cast<char>(random());
        junk[0] = static_cast<char>(first);
        junk[254] = 1;
        ASSERT_TRUE(console.sendRaw(junk));
        EXPECT_TRUE(console.waitClosed());
    }
    {
        // A response cut short.
        CRawConsole console;
        ASSERT_TRUE(console.connect(port));
        ASSERT_TRUE(console.readChallenge());
        ASSERT_TRUE(console.sendRaw(std::string(100, '\0')));
        console.close();
    }
    {
        // A console that sends text instead of a login block and leaves.
        CRawConsole console;
        ASSERT_TRUE(console.connect(port));
        ASSERT_TRUE(console.sendRaw("info\n\n"));
        console.close();
    }
    EXPECT_GE(controller.waitForLog("Failed to authorize login.", 2), 2u);
    // The service still accepts logins.
    CRawConsole console;
    EXPECT_EQ(loginAndGreet(console, " "), kGreeting);
}

TEST_F(EncipheredConsoleTest, PartialBlockAtEndOfStreamDisconnects)
{
    start(true);
    CRawConsole console;
    ASSERT_EQ(loginAndGreet(console, " "), kGreeting);
    ASSERT_TRUE(console.sendRaw("abc"));
    ::shutdown(console.stream().get_handle(), SHUT_WR);
    EXPECT_TRUE(console.waitClosed());
}

TEST_F(EncipheredConsoleTest, UnreadableKeyFileRefusesTheConnection)
{
    controller.config()->set_string("rconsole.private_key_path", "/nonexistent/zelvo");
    start(true);
    // The challenge goes out before the handler needs the key; the login
    // that follows is refused.
    EXPECT_TRUE(loginRefused(" "));
    EXPECT_EQ(controller.countContaining("Connect from"), 0u);
}

} // namespace
