#include "standard/mem_track.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Each test counts its own types, because the per-type counters outlive a
// switch of the tracker and so outlive the test that made them.
struct UntrackedThing {};
struct SwitchThing {};
struct StrayThing {};
struct TwiceThing {};
struct ThreadThing {};
struct FormatThing {};
struct OffThing {};
struct BaseThing {
    virtual ~BaseThing() = default;
};
struct DerivedThing : BaseThing {};

template <class T>
std::string nameOf()
{
    return typeid(T*).name();
}

// Leaves the tracker off whatever the test did.
class MemTrackTest : public ::testing::Test {
protected:
    void TearDown() override { CMemTrack::enabled(false); }
};

TEST_F(MemTrackTest, OffCostsNothingAndRecordsNothing)
{
    CMemTrack::enabled(false);
    OffThing thing;
    EXPECT_EQ(&thing, CMemTrack::reg(&thing));
    EXPECT_EQ(&thing, CMemTrack::dereg(&thing));
    CMemTrack::enabled(true);
    EXPECT_EQ(0u, CMemTrack::counters().count(nameOf<OffThing>()));
    EXPECT_TRUE(CMemTrack::untracked().empty());
    CMemTrack::reg(&thing);
    CMemTrack::enabled(false);
    EXPECT_TRUE(CMemTrack::allocated().empty());
    EXPECT_TRUE(CMemTrack::counters().empty());
}

TEST_F(MemTrackTest, ReleaseOfUntrackedObjectIsListedAndStillCounted)
{
    CMemTrack::enabled(true);
    UntrackedThing* early = new UntrackedThing; // not registered
    UntrackedThing* tracked = CMemTrack::reg(new UntrackedThing);
    delete CMemTrack::dereg(early);
    const auto untracked = CMemTrack::untracked();
    ASSERT_EQ(1u, untracked.size());
    EXPECT_EQ(nameOf<UntrackedThing>(), untracked[0].typeName());
    EXPECT_EQ(static_cast<uint64_t>(pthread_self()), untracked[0].source());
    // The type's counter exists (from tracked), so the release still counts down.
    const CAllocDetail counter = CMemTrack::counters().at(nameOf<UntrackedThing>());
    EXPECT_EQ(1u, counter.totalInstanceCount());
    EXPECT_EQ(0u, counter.currentInstanceCount());
    EXPECT_EQ(1u, CMemTrack::allocated().count(tracked));
    delete CMemTrack::dereg(tracked);
}

TEST_F(MemTrackTest, SwitchOffAndOnEmptiesRegisterButKeepsCounts)
{
    CMemTrack::enabled(true);
    SwitchThing* a = CMemTrack::reg(new SwitchThing);
    SwitchThing* b = CMemTrack::reg(new SwitchThing);
    delete CMemTrack::dereg(b);
    CMemTrack::dereg(reinterpret_cast<StrayThing*>(0x10)); // an untracked release of a type never counted
    EXPECT_EQ(0u, CMemTrack::counters().count(nameOf<StrayThing>()));
    EXPECT_EQ(1u, CMemTrack::untracked().size());
    CMemTrack::enabled(false);
    CMemTrack::enabled(true);
    EXPECT_EQ(0u, CMemTrack::allocated().count(a));
    EXPECT_TRUE(CMemTrack::untracked().empty());
    const CAllocDetail counter = CMemTrack::counters().at(nameOf<SwitchThing>());
    EXPECT_EQ(2u, counter.totalInstanceCount());
    EXPECT_EQ(1u, counter.currentInstanceCount());
    // a was registered before the switch: its release is now untracked.
    delete CMemTrack::dereg(a);
    EXPECT_EQ(1u, CMemTrack::untracked().size());
    EXPECT_EQ(0u, CMemTrack::counters().at(nameOf<SwitchThing>()).currentInstanceCount());
}

TEST_F(MemTrackTest, DoubleRegistrationKeepsOneEntryAndCountsTwice)
{
    CMemTrack::enabled(true);
    TwiceThing thing;
    CMemTrack::reg(&thing);
    CMemTrack::reg(&thing);
    EXPECT_EQ(1u, CMemTrack::allocated().count(&thing));
    const CAllocDetail counter = CMemTrack::counters().at(nameOf<TwiceThing>());
    EXPECT_EQ(2u, counter.totalInstanceCount());
    EXPECT_EQ(2u, counter.currentInstanceCount());
    CMemTrack::dereg(&thing);
    CMemTrack::dereg(&thing); // the entry went with the first release
    EXPECT_EQ(1u, CMemTrack::untracked().size());
    EXPECT_EQ(0u, CMemTrack::counters().at(nameOf<TwiceThing>()).currentInstanceCount());
}

TEST_F(MemTrackTest, StaticTypeAtCallSiteNamesTheCounter)
{
    CMemTrack::enabled(true);
    DerivedThing* derived = CMemTrack::reg(new DerivedThing);
    BaseThing* base = derived;
    delete CMemTrack::dereg(base);
    const auto counters = CMemTrack::counters();
    EXPECT_EQ(1u, counters.at(nameOf<DerivedThing>()).currentInstanceCount());
    EXPECT_EQ(0u, counters.count(nameOf<BaseThing>()));
    // The address is what the allocated map goes by.
    EXPECT_EQ(0u, CMemTrack::allocated().count(derived));
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

TEST_F(MemTrackTest, ThreadsRegisterAndReleaseConcurrently)
{
    CMemTrack::enabled(true);
    constexpr int threadsCount = 4;
    constexpr int perThread = 500;
    std::vector<std::vector<ThreadThing*>> kept(threadsCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadsCount; ++t) {
        threads.emplace_back([&kept, t] {
            std::vector<ThreadThing*> mine;
            for (int i = 0; i < perThread; ++i) mine.push_back(CMemTrack::reg(new ThreadThing));
            // Release every other one; keep the rest alive.
            for (int i = 0; i < perThread; ++i) {
                if (i % 2) delete CMemTrack::dereg(mine[i]);
                else kept[t].push_back(mine[i]);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const CAllocDetail counter = CMemTrack::counters().at(nameOf<ThreadThing>());
    EXPECT_EQ(uint64_t(threadsCount * perThread), counter.totalInstanceCount());
    EXPECT_EQ(uint64_t(threadsCount * perThread / 2), counter.currentInstanceCount());
    const auto allocated = CMemTrack::allocated();
    EXPECT_EQ(size_t(threadsCount * perThread / 2), allocated.size());
    EXPECT_TRUE(CMemTrack::untracked().empty());
    // Every live entry names the thread that created it.
    for (int t = 0; t < threadsCount; ++t) {
        const uint64_t source = allocated.at(kept[t][0]).source();
        for (ThreadThing* thing : kept[t]) EXPECT_EQ(source, allocated.at(thing).source());
    }
    for (auto& list : kept)
        for (ThreadThing* thing : list) delete CMemTrack::dereg(thing);
    EXPECT_TRUE(CMemTrack::allocated().empty());
    EXPECT_EQ(0u, CMemTrack::counters().at(nameOf<ThreadThing>()).currentInstanceCount());
}

TEST_F(MemTrackTest, TextForms)
{
    CMemTrack::enabled(true);
    FormatThing things[3];
    for (FormatThing& thing : things) CMemTrack::reg(&thing);
    CMemTrack::dereg(&things[0]);
    CMemTrack::dereg(&things[1]);
    CMemTrack::counters_t counters;
    counters[nameOf<FormatThing>()] = CMemTrack::counters().at(nameOf<FormatThing>());
    EXPECT_EQ(nameOf<FormatThing>() + ":3,1\n", CMemTrack::format(counters));

    const auto line = [](const void* pointer) {
        std::ostringstream text;
        text << pointer << ':' << static_cast<uint64_t>(pthread_self()) << ':' << nameOf<FormatThing>() << '\n';
        return text.str();
    };
    EXPECT_EQ(line(&things[2]), CMemTrack::format(CMemTrack::allocated()));
    EXPECT_EQ("0x", CMemTrack::format(CMemTrack::allocated()).substr(0, 2));

    CMemTrack::dereg(&things[0]); // released twice: the second is untracked
    EXPECT_EQ(line(&things[0]), CMemTrack::format(CMemTrack::untracked()));
    CMemTrack::dereg(&things[2]);
}

TEST(AllocDetailTest, FreshDetailAndCounts)
{
    CAllocDetail detail;
    EXPECT_EQ(nullptr, detail.pointer());
    EXPECT_TRUE(detail.typeName().empty());
    EXPECT_EQ(UINT64_MAX, detail.source());
    detail.incInstanceCount();
    detail.incInstanceCount();
    detail.decInstanceCount();
    EXPECT_EQ(2u, detail.totalInstanceCount());
    EXPECT_EQ(1u, detail.currentInstanceCount());
}

} // namespace
