#include <gtest/gtest.h>

#include <algorithm>

#include "rconsole_base/rconsole_command_reader.h"
#include "rconsole_base/rconsole_handler_set.h"
#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_reply_reader.h"
#include "rconsole_base/text_command.h"
#include "extended/exception.h"
#include "extended/i_task.h"

#include <cstring>

namespace {

TEST(TextCommand, ReplyText)
{
    CTextCommand ack;
    ack.set_string("b", "2");
    ack.set_string("a", "1");
    EXPECT_EQ(ack.string(), "a=1\nb=2\ncode=ack\n\n");
    EXPECT_THROW(ack.errorMsg("no"), osk::CException);
    ack.warningMsg("careful");
    EXPECT_EQ(ack.string(), "a=1\nb=2\ncode=ack\nmessage=careful\n\n");
    CTextCommand nak(CTextCommand::nak);
    nak.errorMsg("Bad.");
    EXPECT_EQ(nak.string(), "code=nak\nmessage=Bad.\n\n");
    CTextCommand odd(7);
    EXPECT_EQ(odd.string(), "code=<unknown>\n\n");
    odd.data("x=1\ny=2");
    EXPECT_EQ(odd.size(), 2u);
}

TEST(CommandReader, LinesAndCompletion)
{
    CRConsoleCommandReader reader;
    reader.append("in", 2);
    EXPECT_FALSE(reader.complete());
    reader.append("fo\r\r\na=1\n\r\n", 12);
    EXPECT_FALSE(reader.complete());
    reader.append("\nafter\n\n", 8);
    ASSERT_TRUE(reader.complete());
    EXPECT_EQ(reader.lines(), (std::vector<std::string>{"info", "a=1", ""}));
    reader.reset();
    reader.append("\n", 1);
    EXPECT_TRUE(reader.complete());
    EXPECT_TRUE(reader.lines().empty());
}

TEST(CommandReader, BoundsAndNul)
{
    CRConsoleCommandReader reader;
    reader.append("x\0y\n\n", 5);
    EXPECT_FALSE(reader.complete());
    reader.reset();
    const std::string big(CRConsoleCommandReader::maxLineLength + 1, 'a');
    reader.append(big.data(), big.size());
    reader.append(big.data(), big.size());
    EXPECT_TRUE(reader.overflowed());
    // The line feed that ends the overlong line is not an empty line.
    reader.append("aaa\n", 4);
    EXPECT_FALSE(reader.complete());
    reader.append("next\n\n", 6);
    EXPECT_TRUE(reader.complete());
    EXPECT_TRUE(reader.overflowed());
    EXPECT_TRUE(reader.lines().empty());
    // Many lines within the line limit still hit the set limit.
    reader.reset();
    const std::string line = std::string(1000, 'b') + "\n";
    for (int i = 0; i < 1100; ++i) reader.append(line.data(), line.size());
    reader.append("\n", 1);
    EXPECT_TRUE(reader.complete());
    EXPECT_TRUE(reader.overflowed());
}

// A set that arrives a byte at a time (a line is searched only where new
// bytes came) reads as the same set arriving at once; a reset forgets where
// the unfinished line was searched to.
TEST(CommandReader, ReadsOfAnySizeGiveTheSameSet)
{
    const std::string set = "info\r\na=1\n" + std::string(300, 'v') + "=w\n\n";
    CRConsoleCommandReader whole;
    whole.append(set.data(), set.size());
    ASSERT_TRUE(whole.complete());
    for (size_t size : {1, 2, 7, 64}) {
        CRConsoleCommandReader pieces;
        for (size_t at = 0; at < set.size() && !pieces.complete(); at += size)
            pieces.append(set.data() + at, std::min(size, set.size() - at));
        ASSERT_TRUE(pieces.complete()) << size;
        EXPECT_EQ(whole.lines(), pieces.lines()) << size;
    }
    CRConsoleCommandReader reader;
    for (char c : std::string("unfinished")) reader.append(&c, 1);
    reader.reset();
    reader.append("x\n\n", 3);
    ASSERT_TRUE(reader.complete());
    EXPECT_EQ(reader.lines(), (std::vector<std::string>{"x"}));
}

TEST(ReplyReader, GreetingRecordsAndCode)
{
    CRConsoleReplyReader reader;
    const std::string text = "Hello.\n\nrec=1\n-\n\nmore\ncode=nak\nmessage=Why.\n\ntail";
    reader.append(text.data(), text.size());
    std::string reply;
    ASSERT_TRUE(reader.next(reply, false));
    EXPECT_EQ(reply, "Hello.\n\n");
    ASSERT_TRUE(reader.next(reply));
    EXPECT_EQ(reply, "rec=1\n-\n\nmore\ncode=nak\nmessage=Why.\n\n");
    EXPECT_EQ(CRConsoleReplyReader::code(reply), "nak");
    EXPECT_EQ(CRConsoleReplyReader::message(reply), "Why.");
    EXPECT_EQ(CRConsoleReplyReader::body(reply), "rec=1\n-\n\nmore\n");
    EXPECT_FALSE(reader.next(reply));
    EXPECT_EQ(reader.buffered(), 4u);
}


// Replies that arrive in reads of any size (a reader resumes where the last
// read left it) come out as they do arriving at once; so does everything a
// console shows while streamed lines arrive.
TEST(ReplyReader, ReadsOfAnySizeGiveTheSameReplies)
{
    const std::string stream = "Hello.\n\nrec=1\n-\n\n" + std::string(500, 'r') + "\ncode=ack\n\n" +
                               "one\ntwo\ncode=nak\nmessage=Why.\n\ncode=ack\n\ntail";
    auto read = [&stream](size_t size, bool streaming) {
        CRConsoleReplyReader reader;
        std::vector<std::string> out;
        bool greeted = false;
        for (size_t at = 0; at < stream.size(); at += size) {
            reader.append(stream.data() + at, std::min(size, stream.size() - at));
            // Streamed lines are taken after every other read: some of them
            // were read by next() already.
            if (streaming && greeted && (at / size) % 2 == 1) {
                const std::string lines = reader.takeStreamed();
                if (!lines.empty()) out.push_back("streamed:" + lines);
            }
            std::string reply;
            while (reader.next(reply, greeted)) {
                out.push_back(reply);
                greeted = true;
            }
        }
        return out;
    };
    const std::vector<std::string> whole = read(stream.size(), false);
    ASSERT_EQ(4u, whole.size());
    EXPECT_EQ("ack", CRConsoleReplyReader::code(whole[1]));
    EXPECT_EQ("Why.", CRConsoleReplyReader::message(whole[2]));
    for (size_t size : {1, 2, 3, 7, 64}) {
        EXPECT_EQ(whole, read(size, false)) << size;
        // Streamed lines and replies together are the same text, and the
        // replies end as they do without streaming.
        const std::vector<std::string> streamed = read(size, true);
        std::string joined;
        std::vector<std::string> ends;
        for (const std::string& piece : streamed) {
            joined += piece.compare(0, 9, "streamed:") == 0 ? piece.substr(9) : piece;
            if (piece.compare(0, 9, "streamed:") != 0) ends.push_back(CRConsoleReplyReader::code(piece));
        }
        std::string expected;
        std::vector<std::string> expectedEnds;
        for (const std::string& reply : whole) {
            expected += reply;
            expectedEnds.push_back(CRConsoleReplyReader::code(reply));
        }
        EXPECT_EQ(expected, joined) << size;
        EXPECT_EQ(expectedEnds, ends) << size;
    }
}
TEST(ReplyReader, StreamedLinesStopAtTheCodeBlock)
{
    CRConsoleReplyReader reader;
    // A record, half of the next, then a code line whose end is not in yet.
    const std::string first = "a=1\n-\nb=2\nc=";
    reader.append(first.data(), first.size());
    EXPECT_EQ(reader.takeStreamed(), "a=1\n-\nb=2\n");
    EXPECT_EQ(reader.takeStreamed(), "");
    const std::string second = "3\n-\ncode=ack\nmessage=Careful.\n";
    reader.append(second.data(), second.size());
    EXPECT_EQ(reader.takeStreamed(), "c=3\n-\n");
    std::string reply;
    EXPECT_FALSE(reader.next(reply));
    // A "code=" key inside a record holds the stream back, but the reply
    // still ends only at the code block before the empty line.
    const std::string third = "\n";
    reader.append(third.data(), third.size());
    ASSERT_TRUE(reader.next(reply));
    EXPECT_EQ(reply, "code=ack\nmessage=Careful.\n\n");
    const std::string fourth = "code=7\nd=4\n-\ncode=nak\n\n";
    reader.append(fourth.data(), fourth.size());
    EXPECT_EQ(reader.takeStreamed(), "");
    ASSERT_TRUE(reader.next(reply));
    EXPECT_EQ(reply, fourth);
    EXPECT_EQ(CRConsoleReplyReader::code(reply), "nak");
}

TEST(Login, ResponseVerifiesOnlyUnderTheSamePassword)
{
    rconsole_auth_protocol challenge;
    CRConsoleLogin::makeChallenge(challenge);
    rconsole_auth_protocol second;
    CRConsoleLogin::makeChallenge(second);
    EXPECT_FALSE(CRConsoleLogin::constantTimeEqual(challenge.cipher, second.cipher, sizeof(second.cipher)));

    osk::CBlowfish client;
    rconsole_auth_protocol response;
    CRConsoleLogin::makeResponse(challenge, std::string(300, 'n'), 0, "abcdefgh", client, response);
    EXPECT_EQ(CRConsoleLogin::accountName(response), std::string(248, 'n'));
    osk::CBlowfish service;
    CRConsoleLogin::keyCipher("abcdefgZ", response, service);
    EXPECT_TRUE(CRConsoleLogin::verify(challenge, response, service));
    response.version = 1;
    CRConsoleLogin::keyCipher("abcdefgZ", response, service);
    EXPECT_FALSE(CRConsoleLogin::verify(challenge, response, service));
    EXPECT_EQ(CRConsoleLogin::maxPasswordLength(uint8_t(0)), 7u);
    EXPECT_EQ(CRConsoleLogin::maxPasswordLength(uint8_t(2)), 75u);

    // A name filling all 249 bytes is read as 249 characters.
    std::memset(response.name, 'x', sizeof(response.name));
    std::memset(response.reserved, 'y', sizeof(response.reserved));
    EXPECT_EQ(CRConsoleLogin::accountName(response), std::string(249, 'x'));
}

class CCountingTask : public osk::CITask {
public:
    explicit CCountingTask(int* shutdowns) : _shutdowns(shutdowns) {}
    int run() override { return 0; }
    int shutdown() override { return ++*_shutdowns, 0; }
    int retcode() const override { return 0; }

private:
    int* _shutdowns;
};

TEST(HandlerSet, AddRemoveCloseAll)
{
    CRConsoleHandlerSet set(nullptr);
    int shutdowns = 0;
    auto* first = new CCountingTask(&shutdowns);
    auto* second = new CCountingTask(&shutdowns);
    EXPECT_TRUE(set.add(first));
    EXPECT_FALSE(set.add(first));
    EXPECT_TRUE(set.add(second));
    EXPECT_TRUE(set.remove(second));
    EXPECT_FALSE(set.remove(second));
    delete second;
    EXPECT_EQ(set.size(), 1u);
    set.closeAll();
    EXPECT_EQ(shutdowns, 1);
    EXPECT_EQ(set.size(), 0u);
}

} // namespace
