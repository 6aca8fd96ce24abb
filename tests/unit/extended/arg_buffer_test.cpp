#include "extended/arg_buffer.h"
#include "extended/exception.h"
#include "extended/message.h"
#include "extended/message_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using CSmallBuffer = osk::CArgBuffer<3, 16, 6>;

std::string failureOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const osk::CException& e) {
        return e.printableError();
    }
    return "no exception";
}

TEST(ArgBufferTest, KeepsArgumentsInOrderWithTheirKind)
{
    CSmallBuffer buffer;
    buffer.pushs("ab");
    buffer.pushValue("-5", CSmallBuffer::signed_number);
    buffer.pushs(std::string());
    EXPECT_EQ(3u, buffer.count());
    EXPECT_EQ("ab", buffer.arg(0));
    EXPECT_EQ("-5", buffer.arg(1));
    EXPECT_EQ("", buffer.arg(2));
    EXPECT_EQ(CSmallBuffer::signed_number, buffer.type(1));
    EXPECT_EQ(4u, buffer.used());

    CSmallBuffer copy(buffer);
    buffer.clear();
    EXPECT_EQ(0u, buffer.count());
    EXPECT_EQ("-5", copy.arg(1));
}

TEST(ArgBufferTest, LimitsAndErrorTexts)
{
    CSmallBuffer buffer;
    // One argument is cut to the per-argument limit.
    buffer.pushs("0123456789");
    EXPECT_EQ("012345", buffer.arg(0));
    EXPECT_EQ("Cannot access argument 1.", failureOf([&] { buffer.arg(1); }));
    EXPECT_EQ("Cannot push string argument. (Invalid pointer.)",
              failureOf([&] { buffer.pushs(static_cast<const char*>(nullptr)); }));
    buffer.pushs("abcdef");
    // 12 of 16 bytes are used: a 6-byte argument no longer fits, 4 bytes do.
    EXPECT_EQ("Cannot push string argument. (Not enough buffer space.)", failureOf([&] { buffer.pushs("uvwxyz"); }));
    EXPECT_EQ(2u, buffer.count());
    buffer.pushs("wxyz");
    EXPECT_EQ(16u, buffer.used());
    // The argument table is full as well now.
    EXPECT_EQ("Cannot process argument. (Not enough buffer space.)",
              failureOf([&] { buffer.pushValue("", CSmallBuffer::unsigned_number); }));
}

TEST(ArgBufferTest, MessageUsesHundredArgumentsInKilobyte)
{
    osk::CMessage message("%100");
    for (int i = 1; i <= 100; ++i) message.push(i);
    EXPECT_EQ("100", message.formatted());
    EXPECT_EQ("Cannot process argument. (Not enough buffer space.)", failureOf([&] { message.push(101); }));

    osk::CMessage big("%1%2");
    const std::string half(512, 'x');
    big.pushs(half).pushs(half);
    EXPECT_EQ("Cannot push string argument. (Not enough buffer space.)", failureOf([&] { big.pushs("y"); }));
    EXPECT_EQ(1024u, big.formatted().size());
    EXPECT_EQ(osk::CMessage::arg_buffer_t::real_number, osk::CMessage("%1").push(2.5).args().type(0));
    EXPECT_EQ("Cannot access argument 0.", failureOf([] { osk::CMessage("x").arg(0); }));
}

// Each test has its own directory: ctest runs the tests of one fixture at once.
class MessageStoreFileTest : public ::testing::Test {
protected:
    void write(const std::string& text) { test_support::writeFile(_path, text); }
    test_support::TempDir _dir;
    const std::string _path = _dir / "messages.txt";
};

TEST_F(MessageStoreFileTest, ReadsTranslationRecords)
{
    write("# translations\n"
          "id=1\n"
          "description=Start failure.\n"
          "en_US=Failed to start task.\n"
          "de_DE=Die Aufgabe startet nicht.\n"
          "fr_FR=La tache ne demarre pas.\n"
          "\n"
          "id=2\n"
          "en_US=Task '%1' stopped.\n"
          "de_DE=Aufgabe '%1' angehalten.\n");
    osk::CMessageStore store;
    store.setLocales(" de_DE ,\tfr_FR");
    ASSERT_TRUE(store.execute("", _path));
    EXPECT_EQ(2u, store.size());
    ASSERT_EQ(2u, store.locales().size());
    EXPECT_EQ("fr_FR", store.locales()[1]);
    EXPECT_EQ("de_DE", store.defLocale());
    EXPECT_EQ("La tache ne demarre pas.", store.tr("Failed to start task.", "fr_FR"));
    EXPECT_EQ("Die Aufgabe startet nicht.", store.tr("Failed to start task.", ""));
    EXPECT_EQ("Aufgabe 'x' angehalten.", store.tr(osk::CMessage("Task '%1' stopped.").pushs("x"), "de_DE").formatted());
    // Unknown locale or text: the text stays; id and description are no locales.
    EXPECT_EQ("Task '%1' stopped.", store.tr("Task '%1' stopped.", "fr_FR"));
    EXPECT_EQ("Unknown.", store.tr("Unknown.", "de_DE"));
    EXPECT_EQ("Failed to start task.", store.tr("Failed to start task.", "description"));
}

TEST_F(MessageStoreFileTest, RecordWithoutEnglishTextIsRejected)
{
    write("id=1\nen_US=A.\n\n\nid=2\nde_DE=B.\n");
    osk::CMessageStore store;
    EXPECT_EQ("Invalid record at line 5 in message locale file. (Missing key 'en_US'.)",
              failureOf([&] { store.execute("", _path); }));
    EXPECT_FALSE(store.execute("", _path + ".missing"));
}

} // namespace
