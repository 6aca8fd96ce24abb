#include "standard/general_ptr.h"

#include <gtest/gtest.h>

#include "support/thrown.h"
#include <thread>
#include <vector>

namespace {

using test_support::failureOf;

struct Counted {
    explicit Counted(int* liveCount) : live(liveCount) { ++*live; }
    Counted(const Counted& other) : live(other.live), value(other.value) { ++*live; }
    virtual ~Counted() { --*live; }
    int* live;
    int value = 0;
};
struct DerivedCounted : Counted {
    using Counted::Counted;
};

TEST(GeneralPtrTest, OwnerDeletesWithLastCopyAndConvertsToBase)
{
    int live = 0;
    {
        osk::CMTPtr<DerivedCounted> derived(new DerivedCounted(&live));
        osk::CMTPtr<Counted> base(derived);
        EXPECT_EQ(2, base.useCount());
        derived.reset();
        EXPECT_EQ(1, live);
        EXPECT_EQ(1, base.useCount());
    }
    EXPECT_EQ(0, live);
}

TEST(GeneralPtrTest, NonOwnerNeverDeletes)
{
    int live = 0;
    Counted object(&live);
    {
        osk::CGeneralPtr<Counted, osk::CSTNotOwnerPolicy> first(&object);
        osk::CGeneralPtr<Counted, osk::CSTNotOwnerPolicy> second(first);
        EXPECT_EQ(&object, second.get());
    }
    EXPECT_EQ(1, live);
}

TEST(GeneralPtrTest, NullDereferenceThrowsFrameworkTexts)
{
    osk::CMTPtr<Counted> empty;
    EXPECT_EQ("Cannot dereference pointer. / Pointee is null.", failureOf([&] { empty->value = 1; }));
    EXPECT_THROW(*empty, osk::CException);
}

TEST(GeneralPtrTest, DeepCopyIsIndependent)
{
    int live = 0;
    osk::CMTPtr<Counted> original(new Counted(&live));
    original->value = 7;
    osk::CMTPtr<Counted> copy = original.deepCopy();
    copy->value = 8;
    EXPECT_EQ(7, original->value);
    EXPECT_EQ(2, live);
}

// Concurrent copies and drops on several threads must leave the count exact
// and delete the pointee once.
TEST(GeneralPtrTest, MultiThreadedCopiesKeepCountExact)
{
    int live = 0;
    {
        osk::CMTPtr<Counted> shared(new Counted(&live));
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([shared] {
                for (int i = 0; i < 20000; ++i) {
                    osk::CMTPtr<Counted> copy(shared);
                    (void)copy;
                }
            });
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(1, shared.useCount());
    }
    EXPECT_EQ(0, live);
}

// The method-lock proxy serialises calls through copies of one pointer.
TEST(GeneralPtrTest, MethodLockSerialisesCalls)
{
    struct Unsafe {
        void add() { int v = value; std::this_thread::yield(); value = v + 1; }
        int value = 0;
    };
    osk::CLockedPtr<Unsafe> shared(new Unsafe);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([shared] {
            for (int i = 0; i < 2000; ++i) shared->add();
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(8000, shared->value);
}

} // namespace
