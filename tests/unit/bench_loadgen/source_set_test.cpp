#include "source_set.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/temp_dir.h"

using loadgen::CSourceSet;

TEST(CSourceSet, LoadsEveryRegularFileSortedOrTheNamedOnes)
{
    test_support::TempDir dir;
    test_support::writeFile(dir / "b.bin", "bee");
    test_support::writeFile(dir / "a.bin", std::string("a\0z", 3));
    ::mkdir((dir / "sub").c_str(), 0700);

    CSourceSet all;
    all.load(dir.path(), {});
    ASSERT_EQ(all.size(), 2u);  // the directory is not a file
    EXPECT_EQ(all.at(0).name, "a.bin");
    EXPECT_EQ(all.at(0).bytes, (std::vector<uint8_t>{'a', 0, 'z'}));
    EXPECT_EQ(all.at(1).name, "b.bin");

    CSourceSet named;
    named.load(dir.path(), {"b.bin"});
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named.find("b.bin"), nullptr);
    EXPECT_EQ(named.find("a.bin"), nullptr);
}

TEST(CSourceSet, MissingFilesAndEmptyDirectoriesThrow)
{
    test_support::TempDir dir;
    CSourceSet set;
    EXPECT_THROW(set.load(dir.path(), {}), std::runtime_error);
    EXPECT_THROW(set.load(dir.path(), {"nothing.bin"}), std::runtime_error);
    EXPECT_THROW(set.load(dir / "no-such-dir", {}), std::runtime_error);
}

TEST(CSourceSet, MatchesComparesTheRangeAndRejectsRangesBeyondTheEnd)
{
    CSourceSet set;
    set.addSynthetic("s", 100, 3);
    const CSourceSet::File& file = set.at(0);
    EXPECT_TRUE(CSourceSet::matches(file, 10, file.bytes.data() + 10, 50));
    EXPECT_FALSE(CSourceSet::matches(file, 11, file.bytes.data() + 10, 50));
    EXPECT_TRUE(CSourceSet::matches(file, 100, nullptr, 0));   // an empty last block
    EXPECT_FALSE(CSourceSet::matches(file, 101, nullptr, 0));  // past the end
    EXPECT_FALSE(CSourceSet::matches(file, 90, file.bytes.data(), 11));
}

TEST(CSourceSet, SyntheticFilesAreReproducibleAndVaried)
{
    CSourceSet one, two;
    one.addSynthetic("x", 4096, 42);
    two.addSynthetic("x", 4096, 42);
    two.addSynthetic("y", 4096, 43);
    EXPECT_EQ(one.at(0).bytes, two.at(0).bytes);
    EXPECT_NE(two.at(0).bytes, two.at(1).bytes);
    // Neighbouring 512-byte blocks differ, so a block sent twice is noticed.
    EXPECT_FALSE(CSourceSet::matches(one.at(0), 512, one.at(0).bytes.data(), 512));
}
