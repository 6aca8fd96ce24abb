#include "ace_ext/reactor_handle_set_mgr.h"

#include <gtest/gtest.h>

namespace {

using osk::CReactorBaseHandleSet;
using osk::CReactorHandleSet;

TEST(ReactorHandleSetTest, EventMasksMapToSelectBits)
{
    EXPECT_EQ(CReactorBaseHandleSet::readBit, CReactorBaseHandleSet::selectBits(ACE_Event_Handler::ACCEPT_MASK));
    EXPECT_EQ(CReactorBaseHandleSet::readBit | CReactorBaseHandleSet::writeBit,
              CReactorBaseHandleSet::selectBits(ACE_Event_Handler::CONNECT_MASK));
    EXPECT_EQ(CReactorBaseHandleSet::allBits, CReactorBaseHandleSet::selectBits(ACE_Event_Handler::ALL_EVENTS_MASK));
    EXPECT_EQ(0u, CReactorBaseHandleSet::selectBits(ACE_Event_Handler::TIMER_MASK | ACE_Event_Handler::DONT_CALL));
}

TEST(ReactorHandleSetTest, MasksMovesAndWidth)
{
    CReactorHandleSet wait;
    CReactorBaseHandleSet suspended;
    EXPECT_EQ(0, wait.width());
    EXPECT_EQ(nullptr, wait.selectSet(CReactorBaseHandleSet::readBit));

    wait.setHandle(3, CReactorBaseHandleSet::readBit | CReactorBaseHandleSet::writeBit);
    wait.setHandle(9, CReactorBaseHandleSet::exceptBit);
    EXPECT_EQ(10, wait.width());
    EXPECT_EQ(3, wait.count());
    EXPECT_TRUE(wait.isEnabled(3, CReactorBaseHandleSet::allBits));
    EXPECT_FALSE(wait.isAllEnabled(3, CReactorBaseHandleSet::allBits));
    EXPECT_TRUE(wait.isAllEnabled(3, CReactorBaseHandleSet::readBit | CReactorBaseHandleSet::writeBit));
    EXPECT_FALSE(wait.isAllEnabled(3, 0));
    EXPECT_NE(nullptr, wait.selectSet(CReactorBaseHandleSet::exceptBit));

    // Moving the highest handle away shrinks the width; the mask travels.
    wait.moveHandle(9, suspended);
    EXPECT_EQ(4, wait.width());
    EXPECT_EQ(CReactorBaseHandleSet::exceptBit, suspended.mask(9));
    EXPECT_EQ(nullptr, wait.selectSet(CReactorBaseHandleSet::exceptBit));

    wait.applyMask(3, CReactorBaseHandleSet::exceptBit);
    EXPECT_EQ(CReactorBaseHandleSet::exceptBit, wait.mask(3));

    suspended.moveAllHandles(wait);
    EXPECT_TRUE(suspended.empty());
    EXPECT_EQ(CReactorBaseHandleSet::exceptBit, wait.mask(9));
    wait.clearHandle(3, CReactorBaseHandleSet::allBits);
    wait.clearHandle(9, CReactorBaseHandleSet::allBits);
    EXPECT_EQ(0, wait.width());
    EXPECT_EQ(0u, wait.mask(ACE_INVALID_HANDLE));
}

TEST(ReactorHandleSetTest, ReadySetIsRefilledAndResynchronised)
{
    osk::CReactorHandleSetMgr sets;
    sets.waitSet().setHandle(4, CReactorBaseHandleSet::readBit);
    sets.waitSet().setHandle(7, CReactorBaseHandleSet::readBit);
    CReactorHandleSet& ready = sets.prepareReadySet();
    EXPECT_EQ(2, ready.count());

    // Simulate select() clearing handle 7 directly in the fd_set.
    FD_CLR(7, ready.selectSet(CReactorBaseHandleSet::readBit));
    ready.synchSize(7);
    EXPECT_EQ(1, ready.count());
    EXPECT_EQ(5, ready.width());

    // The next turn starts again from the wait set.
    EXPECT_EQ(2, sets.prepareReadySet().count());
    sets.reset();
    EXPECT_TRUE(sets.waitSet().empty());
    EXPECT_TRUE(sets.readySet().empty());
}

} // namespace
