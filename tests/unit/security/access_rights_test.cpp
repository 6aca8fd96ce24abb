#include "security/access_rights.h"

#include <gtest/gtest.h>

namespace {

using osk::CAccessRights;

CAccessRights parsed(const std::string& text, CAccessRights::right_t start = CAccessRights::none)
{
    CAccessRights rights(start);
    rights.string(text);
    return rights;
}

TEST(AccessRightsTest, TextNamesBitsInFixedOrder)
{
    EXPECT_EQ("none", CAccessRights().string());
    EXPECT_EQ("read", CAccessRights(CAccessRights::read).string());
    EXPECT_EQ("write,create", CAccessRights(CAccessRights::create | CAccessRights::write).string());
    EXPECT_EQ("read,write,execute,create", CAccessRights(CAccessRights::all).string());
    // Bits outside the four rights are not kept.
    EXPECT_EQ("none", CAccessRights(16).string());
    EXPECT_TRUE(CAccessRights(0x30).empty());
}

TEST(AccessRightsTest, HasZeroOnlyForTheEmptyMask)
{
    EXPECT_TRUE(CAccessRights().has(CAccessRights::none));
    EXPECT_FALSE(CAccessRights().has(CAccessRights::read));
    for (CAccessRights::right_t mask = 1; mask <= CAccessRights::all; ++mask)
        EXPECT_FALSE(CAccessRights(mask).has(CAccessRights::none)) << mask;
    // A multi-bit argument needs any one of its bits.
    EXPECT_TRUE(CAccessRights(CAccessRights::write).has(CAccessRights::read | CAccessRights::write));
    EXPECT_FALSE(CAccessRights(CAccessRights::execute).has(CAccessRights::read | CAccessRights::write));
    EXPECT_TRUE(CAccessRights(CAccessRights::all).hasAll(CAccessRights(CAccessRights::read | CAccessRights::create)));
    EXPECT_FALSE(CAccessRights(CAccessRights::read).hasAll(CAccessRights(CAccessRights::read | CAccessRights::write)));
}

TEST(AccessRightsTest, ParsingTrimsLeadingBlanksAndIgnoresCase)
{
    EXPECT_EQ(CAccessRights::read | CAccessRights::write, parsed("read, W").rights());
    EXPECT_EQ(CAccessRights::execute | CAccessRights::create, parsed("X,\tCreate").rights());
    EXPECT_EQ(CAccessRights::all, parsed("*").rights());
    EXPECT_EQ(CAccessRights::all, parsed("ALL").rights());
    EXPECT_EQ(CAccessRights::all, parsed("a").rights());
    // The text form reads back to the same mask.
    for (CAccessRights::right_t mask = 0; mask <= CAccessRights::all; ++mask)
        EXPECT_EQ(mask, parsed(CAccessRights(mask).string()).rights()) << mask;
}

TEST(AccessRightsTest, NoneEndsTheParseAndUnknownWordsAreSkipped)
{
    EXPECT_EQ(CAccessRights::none, parsed("none,write").rights());
    EXPECT_EQ(CAccessRights::read, parsed("read,N,write").rights());
    EXPECT_EQ(CAccessRights::none, parsed("delete").rights());
    EXPECT_EQ(CAccessRights::read | CAccessRights::create, parsed("read,delete,,c").rights());
    // Only leading blanks are trimmed: a trailing blank makes an unknown word.
    EXPECT_EQ(CAccessRights::none, parsed("read ").rights());
    EXPECT_EQ(CAccessRights::none, parsed(std::string("re\0ad", 5)).rights());
    EXPECT_EQ(CAccessRights::none, parsed("").rights());
}

TEST(AccessRightsTest, ParsingAddsToHeldBits)
{
    EXPECT_EQ(CAccessRights::read | CAccessRights::write, parsed("write", CAccessRights::read).rights());
    // "none" stops the parse but does not clear what is held.
    EXPECT_EQ(CAccessRights::execute, parsed("none", CAccessRights::execute).rights());
}

TEST(AccessRightsTest, SetClearAndCombine)
{
    CAccessRights rights;
    rights.set(CAccessRights::read);
    rights.append(CAccessRights(CAccessRights::write));
    EXPECT_EQ(CAccessRights::read | CAccessRights::write, rights.rights());
    rights.clear(CAccessRights::none);
    EXPECT_EQ(CAccessRights::read | CAccessRights::write, rights.rights());
    rights.clear(CAccessRights::read);
    EXPECT_EQ(CAccessRights::write, rights.rights());
    rights.set(CAccessRights(CAccessRights::execute));
    EXPECT_EQ(CAccessRights::execute, rights.rights());
    rights.remove(CAccessRights(CAccessRights::all));
    EXPECT_TRUE(rights.empty());
    rights.set(CAccessRights::all);
    rights.clear();
    EXPECT_TRUE(rights.empty());

    const CAccessRights rw(CAccessRights::read | CAccessRights::write);
    const CAccessRights wx(CAccessRights::write | CAccessRights::execute);
    EXPECT_EQ(CAccessRights(CAccessRights::write), rw & wx);
    EXPECT_EQ(CAccessRights(CAccessRights::read | CAccessRights::write | CAccessRights::execute), rw | wx);
}

} // namespace
