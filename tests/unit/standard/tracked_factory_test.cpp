#include "standard/tracked_factory.h"

#include <gtest/gtest.h>

#include <string>

#include "standard/general_ptr.h"

namespace {

// Each test counts its own types: the tracker's per-type counters outlive a
// switch and so outlive the test that made them.
struct FactoryPlainThing {
    explicit FactoryPlainThing(int value) : value(value) {}
    int value;
};
struct FactoryCopiedThing {
    int value = 7;
};
struct FactoryBaseThing {
    virtual ~FactoryBaseThing() = default;
};
struct FactoryOtherBase {
    virtual ~FactoryOtherBase() = default;
    long padding = 0;
};
// FactoryOtherBase sits at an offset inside FactoryMixedThing, so a pointer to it is not
// the object's address.
struct FactoryMixedThing : FactoryBaseThing, FactoryOtherBase {};
struct FactoryOwnedThing : FactoryBaseThing {};
struct FactoryUniqueThing : FactoryBaseThing {};
struct FactoryStrayThing : FactoryBaseThing {};
struct FactoryOffThing {};

template <class T>
std::string nameOf()
{
    return typeid(T*).name();
}

template <class T>
CAllocDetail counter()
{
    const auto counters = CMemTrack::counters();
    const auto found = counters.find(nameOf<T>());
    return found == counters.end() ? CAllocDetail() : found->second;
}

size_t liveEntries(const std::string& typeName)
{
    size_t count = 0;
    for (const auto& entry : CMemTrack::allocated())
        if (entry.second.typeName() == typeName) ++count;
    return count;
}

class TrackedFactoryTest : public ::testing::Test {
protected:
    void SetUp() override { CMemTrack::enabled(true); }
    void TearDown() override { CMemTrack::enabled(false); }
};

TEST_F(TrackedFactoryTest, CreateRegistersUnderTheCreatedTypeAndDestroyBalancesIt)
{
    FactoryPlainThing* thing = osk::CTrackedFactory::create<FactoryPlainThing>(42);
    EXPECT_EQ(42, thing->value);
    ASSERT_EQ(1u, CMemTrack::allocated().count(thing));
    EXPECT_EQ(nameOf<FactoryPlainThing>(), CMemTrack::allocated().at(thing).typeName());
    EXPECT_EQ(1u, counter<FactoryPlainThing>().currentInstanceCount());

    osk::CTrackedFactory::destroy(thing);
    EXPECT_EQ(0u, liveEntries(nameOf<FactoryPlainThing>()));
    EXPECT_EQ(0u, counter<FactoryPlainThing>().currentInstanceCount());
    EXPECT_EQ(1u, counter<FactoryPlainThing>().totalInstanceCount());
    EXPECT_TRUE(CMemTrack::untracked().empty());
    osk::CTrackedFactory::destroy(static_cast<FactoryPlainThing*>(nullptr)); // like delete
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

// A release through a base class at an offset finds the entry of the
// complete object and counts down the type it was created as.
TEST_F(TrackedFactoryTest, DestroyThroughABaseAtAnOffsetCountsDownTheCreatedType)
{
    FactoryMixedThing* thing = osk::CTrackedFactory::create<FactoryMixedThing>();
    FactoryOtherBase* base = thing;
    ASSERT_NE(static_cast<const void*>(base), static_cast<const void*>(thing));
    osk::CTrackedFactory::destroy(base);
    EXPECT_EQ(0u, CMemTrack::allocated().count(thing));
    EXPECT_EQ(0u, counter<FactoryMixedThing>().currentInstanceCount());
    EXPECT_EQ(1u, counter<FactoryMixedThing>().totalInstanceCount());
    EXPECT_EQ(0u, counter<FactoryOtherBase>().totalInstanceCount());
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

TEST_F(TrackedFactoryTest, OwnersReleaseThroughTheFactory)
{
    {
        osk::CGeneralPtr<FactoryBaseThing> shared(osk::CTrackedFactory::create<FactoryOwnedThing>());
        osk::CGeneralPtr<FactoryBaseThing> copy = shared;
        EXPECT_EQ(1u, counter<FactoryOwnedThing>().currentInstanceCount());
    }
    EXPECT_EQ(0u, counter<FactoryOwnedThing>().currentInstanceCount());
    {
        osk::CTrackedPtr<FactoryUniqueThing> derived = osk::CTrackedFactory::createUnique<FactoryUniqueThing>();
        osk::CTrackedPtr<FactoryBaseThing> base = std::move(derived);
        EXPECT_EQ(1u, counter<FactoryUniqueThing>().currentInstanceCount());
    }
    EXPECT_EQ(0u, counter<FactoryUniqueThing>().currentInstanceCount());
    EXPECT_EQ(0u, liveEntries(nameOf<FactoryOwnedThing>()) + liveEntries(nameOf<FactoryUniqueThing>()));
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

TEST_F(TrackedFactoryTest, DeepCopiesAreTracked)
{
    osk::CGeneralPtr<FactoryCopiedThing> original(osk::CTrackedFactory::create<FactoryCopiedThing>());
    {
        const osk::CGeneralPtr<FactoryCopiedThing> copy = original.deepCopy();
        EXPECT_EQ(7, copy->value);
        EXPECT_EQ(2u, counter<FactoryCopiedThing>().currentInstanceCount());
    }
    EXPECT_EQ(1u, counter<FactoryCopiedThing>().currentInstanceCount());
}

// An owner handed a plain new shows it where the console looks for leaks of
// the register: the untracked list, under the object's own type.
TEST_F(TrackedFactoryTest, AnObjectMadeWithPlainNewIsReportedUntracked)
{
    FactoryStrayThing* stray = new FactoryStrayThing; // deliberately past the factory
    { osk::CGeneralPtr<FactoryBaseThing> owner(stray); }
    const auto untracked = CMemTrack::untracked();
    ASSERT_EQ(1u, untracked.size());
    EXPECT_EQ(nameOf<FactoryStrayThing>(), untracked[0].typeName());
    EXPECT_EQ(static_cast<const void*>(stray), untracked[0].pointer());
}

TEST_F(TrackedFactoryTest, NothrowCreationIsTrackedToo)
{
    FactoryPlainThing* thing = osk::CTrackedFactory::createNothrow<FactoryPlainThing>(3);
    ASSERT_NE(nullptr, thing);
    EXPECT_EQ(1u, CMemTrack::allocated().count(thing));
    osk::CTrackedFactory::destroy(thing);
    EXPECT_EQ(0u, CMemTrack::allocated().count(thing));
}

TEST_F(TrackedFactoryTest, OffRecordsNothing)
{
    CMemTrack::enabled(false);
    FactoryOffThing* thing = osk::CTrackedFactory::create<FactoryOffThing>();
    CMemTrack::enabled(true);
    osk::CTrackedFactory::destroy(thing); // made while off: one untracked release
    EXPECT_EQ(0u, counter<FactoryOffThing>().totalInstanceCount());
    EXPECT_EQ(1u, CMemTrack::untracked().size());
}

} // namespace
