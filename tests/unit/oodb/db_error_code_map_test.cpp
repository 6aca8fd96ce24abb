#include "oodb/db_error_code_map.h"

#include <gtest/gtest.h>

#include "oodb/db_exception.h"
#include "oodb_expect.h"
#include "standard/tracked_factory.h"

namespace {

using Codes = CDBErrorCodeMap;

TEST(DBErrorCodeMapTest, TranslatesAddedCodesAndRefusesOthers)
{
    CDBErrorCodeMap map;
    map.add(-803, Codes::DUPLICATE_KEY);
    map.add(-913, Codes::NOT_FOUND);
    map.add(-913, Codes::LOCK_CONFLICT);
    EXPECT_EQ(map.translate(-803), Codes::DUPLICATE_KEY);
    EXPECT_EQ(map.translate(-913), Codes::LOCK_CONFLICT) << "a later add replaces";
    EXPECT_TRUE(map.knows(-803));
    EXPECT_FALSE(map.knows(0));
    EXPECT_TRUE(raisesOodb([&] { map.translate(335544349); }, "Cannot translate database return code '335544349'.",
                           "Unknown code."));
}

TEST(DBErrorCodeMapTest, FirstKnownCodeOfAChainWins)
{
    CDBErrorCodeMap map;
    map.add(2, Codes::CONNECTION_LOST);
    map.add(3, Codes::FOREIGN_KEY_VIOLATION);
    EXPECT_EQ(map.firstKnown({1, 3, 2}), Codes::FOREIGN_KEY_VIOLATION) << "unknown general codes are skipped";
    EXPECT_EQ(map.firstKnown({2, 3}), Codes::CONNECTION_LOST);
    EXPECT_EQ(map.firstKnown({1, 4}), Codes::OTHER);
    EXPECT_EQ(map.firstKnown({}), Codes::OTHER);
}

TEST(DBErrorCodeMapTest, DatabaseExceptionKeepsItsCodeThroughCopies)
{
    const CDBException failure(osk::CException(osk::CMessage("Insert failed."), osk::CMessage("Duplicate."), "T::f",
                                               "oodb"),
                               Codes::DUPLICATE_KEY);
    const osk::CException& plain = failure;
    EXPECT_EQ(CDBException::codeOf(plain), Codes::DUPLICATE_KEY);
    osk::CTrackedPtr<osk::CException> copy(plain._clone());
    EXPECT_EQ(CDBException::codeOf(*copy), Codes::DUPLICATE_KEY) << "a recorded copy keeps the code";
    EXPECT_EQ(copy->whatMsg().formatted(), "Insert failed.");
    EXPECT_EQ(CDBException::codeOf(osk::CException()), Codes::OTHER);
}

} // namespace
