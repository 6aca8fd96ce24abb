#include "extended/exception.h"
#include "extended/message.h"
#include "extended/message_store.h"

#include <gtest/gtest.h>

#include "support/thrown.h"

namespace {

using test_support::thrown;

TEST(MessageTest, FillsPlaceholdersInOrder)
{
    EXPECT_EQ("3 of 7", osk::CMessage("%1 of %2").push(3).push(7).formatted());
    EXPECT_EQ("no placeholders", osk::CMessage("no placeholders").push(1).formatted());
    // An argument's text is not scanned again for its own placeholder.
    EXPECT_EQ("a%1b", osk::CMessage("%1").pushs("a%1b").formatted());
    // "%1" does not eat the start of "%10".
    osk::CMessage many("%10|%1");
    for (int i = 1; i <= 10; ++i) many.push(i);
    EXPECT_EQ("10|1", many.formatted());
    // Missing arguments leave the placeholder visible.
    EXPECT_EQ("x %2", osk::CMessage("%1 %2").pushs("x").formatted());
}

TEST(ExceptionTest, PrintableErrorJoinsWhatAndWhy)
{
    osk::CException withWhy = OSK_EXCEPTION(osk::CMessage("Failed to register query '%1'.").pushs("bad"),
                                            osk::CMessage("Invalid value."), "CMasterController::registerQueryResponse",
                                            "extended");
    EXPECT_EQ("Failed to register query 'bad'. (Invalid value.)", withWhy.printableError());
    EXPECT_STREQ("Failed to register query 'bad'. (Invalid value.)", withWhy.what());
    EXPECT_EQ("CMasterController", withWhy.sourceClass());
    EXPECT_EQ("extended", withWhy.whatMsg().module());
    EXPECT_GT(withWhy.line(), 0);

    osk::CException noWhy = OSK_EXCEPTION(osk::CMessage("Only what."), osk::CMessage(), "f", "standard");
    EXPECT_EQ("Only what.", noWhy.printableError());
}

TEST(ExceptionTest, TranslationSkipsWhyWhenSystemErrorIsSet)
{
    osk::CMessageStore store;
    store.addTranslation("Disk failed.", "de_DE", "Platte kaputt.");
    store.addTranslation("No space.", "de_DE", "Kein Platz.");
    osk::CException e(osk::CMessage("Disk failed."), osk::CMessage("No space."), "f", "standard");
    EXPECT_EQ("Platte kaputt. (Kein Platz.)", e.printableError(&store, "de_DE"));
    e.err_code(28);
    EXPECT_EQ("Platte kaputt. (No space.)", e.printableError(&store, "de_DE"));
    EXPECT_EQ("Disk failed. (No space.)", e.printableError(&store, "fr_FR"));
}

TEST(ExceptionTest, SeverityMaskRoundTrip)
{
    EXPECT_EQ("error,debug", osk::CException::severityString(osk::CException::error | osk::CException::debug));
    EXPECT_EQ(osk::CException::error | osk::CException::warning | osk::CException::info,
              osk::CException::severityMask("error, warning,info"));
    EXPECT_EQ(osk::CException::allSeverities, osk::CException::severityMask("*"));
    EXPECT_EQ(osk::CException::allSeverities, osk::CException::severityMask("all"));
    EXPECT_EQ("Cannot parse severity mask 'error,loud'. (Invalid value.)",
              thrown([] { osk::CException::severityMask("error,loud"); }).printableError());
}

} // namespace
