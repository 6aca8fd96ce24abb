#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_server/state_queue.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "tftp/tftp_interfaces/i_descriptor.h"

namespace {

osk::CEndpoint client(const char* text = "10.1.2.3:2001")
{
    return osk::CEndpoint(std::string(text));
}

TEST(StateTest, ClearedValues)
{
    CState s(9, CState::send_data, client(), 2000000, 1468);
    s.retransmits = 3;
    s.blockNum = 17;
    s.fileOffset = 12345;
    s.tsize = 99;
    s.activityTime = osk::CTimeval::fromSec(50);
    s.eof = true;
    s.binary = false;
    s.transmitting = false;
    s.optionBlocksize = s.optionTimeout = s.optionTsize = true;
    s.error = CTFTPErrorCode::disk_full;
    s.message = "timeout";
    s.dstEndpoint = client("10.0.0.1:69");
    s.canOverwrite = true;
    s.fqpn = "/srv/a";
    s.reqFile = "a";
    s.protocol = "file";
    s.fdManager = reinterpret_cast<CITFTPFDManager*>(&s);

    const osk::CTimeval before = osk::CTimeval::now();
    s.clear();
    EXPECT_EQ(CState::complete, s.state);
    EXPECT_EQ(0u, s.transferID);
    EXPECT_EQ(0u, s.retransmits);
    EXPECT_EQ(0u, s.blockNum);
    EXPECT_EQ(0u, s.fileOffset);
    EXPECT_EQ(0u, s.blksize);
    EXPECT_EQ(0u, s.tsize);
    EXPECT_EQ(0u, s.timeout_usec);
    EXPECT_TRUE(s.activityTime.isZero());
    EXPECT_GE(s.startTimestamp, before);
    EXPECT_NE(0, s.startTime.seconds());
    EXPECT_FALSE(s.eof);
    EXPECT_TRUE(s.binary);
    EXPECT_TRUE(s.transmitting);
    EXPECT_FALSE(s.receiving());
    EXPECT_FALSE(s.optionBlocksize || s.optionTimeout || s.optionTsize);
    EXPECT_EQ(255, static_cast<int>(s.error));
    EXPECT_EQ("", s.message);
    EXPECT_EQ(osk::CEndpoint(), s.srcEndpoint);
    EXPECT_EQ(osk::CEndpoint(), s.dstEndpoint);
    EXPECT_FALSE(s.canOverwrite);
    EXPECT_EQ("", s.fqpn);
    EXPECT_EQ("", s.reqFile);
    EXPECT_EQ(nullptr, s.descriptor);
    EXPECT_EQ(nullptr, s.fdManager);
    EXPECT_EQ("", s.protocol);
}

TEST(StateTest, ConstructorSetsItsFiveFields)
{
    const CState s(42, CState::send_oack, client(), 5000000, 1024);
    EXPECT_EQ(42u, s.transferID);
    EXPECT_EQ(CState::send_oack, s.state);
    EXPECT_EQ(client(), s.srcEndpoint);
    EXPECT_EQ(5000000u, s.timeout_usec);
    EXPECT_EQ(5u, s.timeout_sec());
    EXPECT_EQ(1024u, s.blksize);
    // Everything else as cleared.
    EXPECT_EQ(0u, s.blockNum);
    EXPECT_TRUE(s.binary);
    EXPECT_EQ(255, static_cast<int>(s.error));
}

TEST(StateTest, StateTextsBothWays)
{
    const char* const texts[] = {"need_ack", "unknown",   "need_data", "send_ack",
                                 "send_oack", "send_data", "unknown",   "complete"};
    for (int v = 0; v <= 7; ++v)
        EXPECT_EQ(texts[v], CState::state_string(static_cast<CState::transfer_state>(v))) << v;
    EXPECT_EQ("unknown", CState::state_string(CState::invalid_state));
    EXPECT_EQ("unknown", CState::state_string(static_cast<CState::transfer_state>(-1)));

    for (int v : {0, 2, 3, 4, 5, 7})
        EXPECT_EQ(v, CState::state_string(std::string(texts[v])));
    // The text shared by 1 and 6 maps back to 1.
    EXPECT_EQ(CState::unknown, CState::state_string(std::string("unknown")));
    for (const char* other : {"", "NEED_ACK", "need_ack ", "error", "8"})
        EXPECT_EQ(8, CState::state_string(std::string(other))) << other;
}

TEST(StateTest, BlockNumberWraps)
{
    CState s;
    s.blockNum = 65534;
    EXPECT_EQ(65535u, s.nextBlockNum());
    s.blockNum = 65535;
    EXPECT_EQ(0u, s.nextBlockNum());
    s.blockNum = s.nextBlockNum();
    EXPECT_EQ(0u, s.blockNum);
    EXPECT_EQ(1u, s.nextBlockNum());
}

class TestDescriptor : public CIDescriptor {};

TEST(StateTest, CopiesAreIndependentAndShareTheDescriptor)
{
    TestDescriptor d;
    CState a(1, CState::need_ack, client(), 1000000, 512);
    a.fqpn = "/x";
    a.descriptor = &d;
    CState b(a);
    b.fqpn = "/y";
    b.blockNum = 4;
    EXPECT_EQ("/x", a.fqpn);
    EXPECT_EQ(0u, a.blockNum);
    EXPECT_EQ(&d, b.descriptor);
    CState c;
    c = b;
    EXPECT_EQ("/y", c.fqpn);
    EXPECT_EQ(4u, c.blockNum);
}

TEST(StateTest, StringMapOfATransfer)
{
    TestDescriptor d;
    CState s(77, CState::need_data, client("192.168.5.6:3456"), 2500000, 1428);
    s.startTime = osk::CTimeT(0);
    s.blockNum = 65535;
    s.fileOffset = 5000000000ULL;
    s.tsize = 123;
    s.eof = true;
    s.canOverwrite = true;
    s.transmitting = false;
    s.binary = false;
    s.fqpn = "/srv/tftp/cfg/a.bin";
    s.reqFile = "cfg/a.bin";
    s.protocol = "file";
    s.message = "max_rx";

    osk::CStringMap map = s.sm();
    EXPECT_EQ("0", map.get_string("fd"));
    s.descriptor = &d;
    map = s.sm();
    EXPECT_EQ(20u, map.size());
    EXPECT_EQ("77", map.get_string("id"));
    EXPECT_EQ(std::to_string(d.id()), map.get_string("fd"));
    EXPECT_NE(0u, d.id());
    EXPECT_EQ("65535", map.get_string("block"));
    EXPECT_EQ("123", map.get_string("tsize"));
    EXPECT_EQ("5000000000", map.get_string("offset"));
    EXPECT_EQ("1428", map.get_string("blksize"));
    EXPECT_EQ("2500000", map.get_string("timeout"));
    EXPECT_EQ("3456", map.get_string("port"));
    EXPECT_EQ("true", map.get_string("eof"));
    EXPECT_EQ("true", map.get_string("overwrite"));
    EXPECT_EQ("Thu Jan  1 00:00:00 1970", map.get_string("start_time"));
    EXPECT_EQ("192.168.5.6", map.get_string("ip"));
    EXPECT_EQ("/srv/tftp/cfg/a.bin", map.get_string("file"));
    EXPECT_EQ("cfg/a.bin", map.get_string("req_file"));
    EXPECT_EQ("file", map.get_string("protocol"));
    EXPECT_EQ("need_data", map.get_string("state"));
    EXPECT_EQ("receive", map.get_string("operation"));
    EXPECT_EQ("ascii", map.get_string("mode"));
    EXPECT_EQ("max_rx", map.get_string("status"));

    s.transmitting = true;
    s.binary = true;
    s.state = CState::send_error;
    map = s.sm();
    EXPECT_EQ("transmit", map.get_string("operation"));
    EXPECT_EQ("binary", map.get_string("mode"));
    EXPECT_EQ("unknown", map.get_string("state"));

    std::ostringstream out;
    out << s;
    EXPECT_NE(std::string::npos, out.str().find("id=77"));
    EXPECT_NE(std::string::npos, out.str().find("status=max_rx"));
}

TEST(StateTest, DescriptorIdentifiersAreDistinct)
{
    TestDescriptor a, b;
    EXPECT_NE(0u, a.id());
    EXPECT_NE(a.id(), b.id());
}

// A state due at the given second.
CStatePtr due(int64_t second, uint64_t id)
{
    CStatePtr s(new CState(id, CState::need_ack, client(), 1000000, 512));
    s->activityTime = osk::CTimeval::fromSec(second - 1);
    return s;
}

TEST(StateQueueTest, EarliestDeadlineOnTop)
{
    CStateQueue queue;
    for (int64_t second : {50, 10, 40, 20, 30, 5, 60}) queue.push(due(second, static_cast<uint64_t>(second)));
    EXPECT_EQ(7u, queue.size());
    std::vector<uint64_t> order;
    while (CStatePtr s = queue.pop()) order.push_back(s->transferID);
    EXPECT_EQ((std::vector<uint64_t>{5, 10, 20, 30, 40, 50, 60}), order);
    EXPECT_TRUE(queue.empty());
}

TEST(StateQueueTest, DeadlineCombinesActivityAndTimeout)
{
    CStateQueue queue;
    CStatePtr late = due(10, 1);           // 9 s + 1 s
    CStatePtr early = due(10, 2);          // 9 s + 0.5 s
    early->timeout_usec = 500000;
    CStatePtr longWait = due(1, 3);        // 0 s + 20 s
    longWait->timeout_usec = 20000000;
    queue.push(late);
    queue.push(longWait);
    queue.push(early);
    EXPECT_EQ(2u, queue.pop()->transferID);
    EXPECT_EQ(1u, queue.pop()->transferID);
    EXPECT_EQ(3u, queue.pop()->transferID);
}

TEST(StateQueueTest, EqualDeadlinesGoToTheLowerAddress)
{
    std::vector<CStatePtr> states;
    for (uint64_t id = 1; id <= 6; ++id) states.push_back(due(7, id));
    CStateQueue queue;
    for (auto it = states.rbegin(); it != states.rend(); ++it) queue.push(*it);
    const CState* previous = nullptr;
    while (CStatePtr s = queue.pop()) {
        if (previous) {
            EXPECT_LT(previous, s.get());
        }
        previous = s.get();
    }

    CStatePriority less;
    EXPECT_FALSE(less(states[0], states[0]));
    EXPECT_NE(less(states[0], states[1]), less(states[1], states[0]));
    EXPECT_TRUE(less(states[0], CStatePtr()));
    EXPECT_TRUE(less(CStatePtr(), states[0]));
}

TEST(StateQueueTest, EmptyQueueAndNulls)
{
    CStateQueue queue;
    EXPECT_FALSE(queue.pop());
    queue.push(CStatePtr());
    EXPECT_EQ(0u, queue.size());
    queue.push(due(3, 1));
    queue.push(due(4, 2));
    std::ostringstream dump;
    queue.dump(dump);
    EXPECT_NE(std::string::npos, dump.str().find("2 entries"));
    EXPECT_NE(std::string::npos, dump.str().find("id=1 state=need_ack"));
    queue.clear();
    EXPECT_EQ(0u, queue.size());
    EXPECT_FALSE(queue.pop());
}

TEST(StateQueueTest, SharedStateOutlivesTheQueue)
{
    CStatePtr s = due(1, 5);
    {
        CStateQueue queue;
        queue.push(s);
        s->blockNum = 9;
    }
    EXPECT_EQ(9u, s->blockNum);
}


TEST(StateQueueTest, MovedAndRemovedStatesKeepTheOrder)
{
    // Random deadline changes and removals against a plain sorted list: the
    // queue's top and its final order always match it.
    std::mt19937 random(7);
    std::vector<CStatePtr> states;
    CStateQueue queue;
    for (uint64_t id = 1; id <= 300; ++id) {
        states.push_back(due(static_cast<int64_t>(random() % 1000), id));
        queue.push(states.back());
    }
    queue.push(states.front());  // already queued: not added twice
    EXPECT_EQ(300u, queue.size());
    for (int round = 0; round < 2000; ++round) {
        CStatePtr& s = states[random() % states.size()];
        if (round % 7 == 0) {
            EXPECT_TRUE(queue.remove(*s));
            EXPECT_FALSE(queue.remove(*s));
            EXPECT_FALSE(queue.contains(*s));
            s = due(static_cast<int64_t>(random() % 1000), 1000 + static_cast<uint64_t>(round));
            queue.push(s);
        } else {
            s->activityTime = osk::CTimeval::fromSec(static_cast<int64_t>(random() % 1000));
            queue.update(*s);
        }
        const CStatePtr top = queue.top();
        for (const CStatePtr& other : states) ASSERT_FALSE(top->dueTime() > other->dueTime()) << round;
    }
    EXPECT_EQ(states.size(), queue.size());
    osk::CTimeval previous;
    while (CStatePtr s = queue.pop()) {
        EXPECT_FALSE(s->dueTime() < previous);
        previous = s->dueTime();
        EXPECT_FALSE(queue.contains(*s));
    }
}

TEST(StateQueueTest, StateWithSomethingToSendIsDueBeforeWaitingOnes)
{
    CStateQueue queue;
    CStatePtr waiting = due(60, 1);
    CStatePtr cancelled = due(50, 2);  // last activity at 49 s
    cancelled->timeout_usec = 30000000;  // waits until 79 s
    queue.push(waiting);
    queue.push(cancelled);
    EXPECT_EQ(1u, queue.top()->transferID);
    // A cancelled transfer waits for no deadline: its turn came with its
    // last activity.
    cancelled->state = CState::send_error;
    queue.update(*cancelled);
    EXPECT_EQ(2u, queue.top()->transferID);
}

TEST(StateQueueTest, CopiesAreInNoQueue)
{
    CStateQueue queue;
    CStatePtr s = due(5, 1);
    queue.push(s);
    const CState copy(*s);
    EXPECT_FALSE(queue.contains(copy));
    // Assigning a record to a queued state keeps its place in the queue.
    *s = CState();
    EXPECT_TRUE(queue.contains(*s));
    EXPECT_TRUE(queue.remove(*s));
}

} // namespace
