// Transfer events: their text form, and their delivery to subscribers that
// run on command-queue tasks of their own.
#include "tftp/tftp_interfaces/tftp_event_publisher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <vector>

#include "extended/command_queue_task.h"
#include "tftp/tftp_interfaces/cmd_tftp_event.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_interfaces/i_tftp_event_subscriber.h"
#include "tftp/tftp_server/state_event.h"
#include "unit/extended/test_commands.h"
#include "unit/extended/test_controller.h"
#include "unit/security/expect_failure.h"

namespace {

using zelvo_test::CFnCommand;
using zelvo_test::CTestController;
using Task = osk::CCommandQueueTask<>;

std::vector<std::string> keysOf(const std::string& text)
{
    std::vector<std::string> keys;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) keys.push_back(line.substr(0, line.find('=')));
    return keys;
}

// Runs fn on the task's own thread and waits for it.
void onTaskThread(Task& task, std::function<void()> fn)
{
    int runs = 0;
    osk::CAsyncResult<int> result(&runs);
    task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("call", result, [&fn](unsigned long) { fn(); })));
    result.wait();
}

// Records the events it handles; can be made to stall in its handler.
class CRecordingSubscriber : public CITFTPEventSubscriber {
public:
    using CITFTPEventSubscriber::CITFTPEventSubscriber;

    void handleEvent(const osk::CAppEventPtr& event) override
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _released.wait(lock, [this] { return !_stalled; });
        _events.push_back(event);
        _arrived.notify_all();
    }
    void stall(bool on)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stalled = on;
        _released.notify_all();
    }
    // Waits up to 20 s for count events.
    std::vector<osk::CAppEventPtr> waitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _arrived.wait_for(lock, std::chrono::seconds(20), [&] { return _events.size() >= count; });
        return _events;
    }

private:
    std::mutex _mutex;
    std::condition_variable _released;
    std::condition_variable _arrived;
    bool _stalled = false;
    std::vector<osk::CAppEventPtr> _events;
};

class CNumberedDescriptor : public CIDescriptor {};

CState sampleState()
{
    CState state(42, CState::send_data, osk::CEndpoint("10.1.2.3:4444"), 3000000, 1024);
    state.fqpn = "/srv/tftp/boot.bin";
    state.reqFile = "boot.bin";
    state.protocol = "file";
    state.message = "success";
    state.state = CState::complete;
    return state;
}

} // namespace

// ---- the event's text form -----------------------------------------------------

TEST(StateEvent, TextFormListsTheApplicationKeysThenTheTransferKeysInOrder)
{
    const osk::CAppEventPtr event(new CStateEvent(7, new CState(sampleState())));
    const std::vector<std::string> expected = {
        "event_type", "event_class", "event_instance", "event_time", "event_sequence", "event_server",
        "id",         "fd",          "block",          "tsize",      "offset",         "blksize",
        "windowsize", "timeout",    "port",        "eof",            "overwrite",  "start_time",     "ip",
        "file",       "req_file",    "protocol",       "state",      "operation",      "mode",
        "status"};
    EXPECT_EQ(expected, keysOf(event->string()));

    osk::CStringMap record;
    event->sm(record);
    EXPECT_EQ("modify", record.get_string("event_type"));
    EXPECT_EQ("transfer", record.get_string("event_class"));
    EXPECT_EQ("42", record.get_string("event_instance"));
    EXPECT_EQ("7", record.get_string("event_server"));
    EXPECT_EQ("10.1.2.3", record.get_string("ip"));
    EXPECT_EQ("4444", record.get_string("port"));
    EXPECT_EQ("complete", record.get_string("state"));
    EXPECT_EQ("success", record.get_string("status"));
    EXPECT_EQ("transmit", record.get_string("operation"));
    EXPECT_EQ("binary", record.get_string("mode"));
    EXPECT_EQ(record.size(), expected.size());
}

TEST(StateEvent, WithoutStateOnlyTheApplicationKeysAreWritten)
{
    const CStateEvent event(0, nullptr);
    EXPECT_EQ(6u, keysOf(event.string()).size());
    EXPECT_EQ(nullptr, event.state());
}

TEST(StateEvent, SequenceNumbersRiseAndPointeeTellsTheKindApart)
{
    const osk::CAppEventPtr first(new CStateEvent(0, new CState(sampleState())));
    const osk::CAppEventPtr second(new osk::CAppEvent(0, osk::CAppEvent::control, "config", 0));
    EXPECT_LT(first->sequence(), second->sequence());
    ASSERT_NE(nullptr, CStateEvent::pointee(first));
    EXPECT_EQ(42u, CStateEvent::pointee(first)->state()->transferID);
    EXPECT_EQ(nullptr, CStateEvent::pointee(second));
    EXPECT_EQ("event_type=control\nevent_class=config\n", second->string().substr(0, 38));
}

TEST(StateEvent, SnapshotKeepsTheFileIdButNotTheEnginesPointers)
{
    CState state = sampleState();
    CNumberedDescriptor descriptor;
    state.descriptor = &descriptor;
    const CStateEvent event(0, new CState(state));
    EXPECT_EQ(nullptr, event.state()->descriptor);
    EXPECT_EQ(nullptr, event.state()->fdManager);
    osk::CStringMap record;
    event.sm(record);
    EXPECT_EQ(std::to_string(descriptor.id()), record.get_string("fd"));
    EXPECT_NE("0", record.get_string("fd"));
}

TEST(StateEvent, AFileNameCannotForgeLinesOfItsOwn)
{
    CState state = sampleState();
    state.reqFile = "a\ncode=ack\r\nb";
    const CStateEvent event(0, new CState(state));
    const std::vector<std::string> keys = keysOf(event.string());
    EXPECT_EQ(26u, keys.size());
    EXPECT_NE(std::string::npos, event.string().find("req_file=a code=ack  b\n"));
}

// ---- subscription ---------------------------------------------------------------

class EventPublisherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        task.reset(new Task(&controller, "event-subscriber", 1));
        ASSERT_EQ(0, task->run());
        subscriber.reset(new CRecordingSubscriber(task.get()));
    }
    void TearDown() override
    {
        subscriber->stall(false);
        task->shutdown();
    }

    CTestController controller;
    CTFTPEventPublisher publisher{&controller};
    std::unique_ptr<Task> task;
    std::unique_ptr<CRecordingSubscriber> subscriber;
};

TEST_F(EventPublisherTest, RegisteringTwiceFromOneThreadIsRefusedAndKeepsTheFirst)
{
    CRecordingSubscriber other(task.get());
    ::testing::AssertionResult refused = ::testing::AssertionFailure() << "not run";
    uint32_t thread = 0;
    onTaskThread(*task, [&] {
        thread = CTFTPEventPublisher::callingThread();
        publisher.registerSubscriber(subscriber.get());
        refused = raises([&] { publisher.registerSubscriber(&other); }, "Failed to register for application events.",
                         "This thread is already registered.", "tftp_interfaces");
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(1u, publisher.subscriberCount());
    EXPECT_EQ(subscriber.get(), publisher.subscriber(thread));
}

TEST_F(EventPublisherTest, DeregisteringAThreadThatNeverRegisteredChangesNothing)
{
    onTaskThread(*task, [&] { publisher.registerSubscriber(subscriber.get()); });
    publisher.deregisterSubscriber(); // this thread has no subscriber
    EXPECT_EQ(1u, publisher.subscriberCount());
    EXPECT_EQ(0u, controller.countContaining("De-registered event subscriber"));

    onTaskThread(*task, [&] { publisher.deregisterSubscriber(); });
    EXPECT_EQ(0u, publisher.subscriberCount());
    EXPECT_FALSE(publisher.hasSubscribers());
    EXPECT_EQ(1u, controller.countContaining("De-registered event subscriber 'event-subscriber'."));
}

TEST_F(EventPublisherTest, AnEventWithNoSubscribersIsDroppedWithoutError)
{
    const osk::CAppEventPtr event(new CStateEvent(0, new CState(sampleState())));
    EXPECT_NO_THROW(publisher.publishEvent(event));
    EXPECT_TRUE(controller.exceptionFacade().empty());
}

TEST_F(EventPublisherTest, EventsRunOnTheSubscribersThreadInOrder)
{
    uint32_t taskThread = 0;
    onTaskThread(*task, [&] {
        taskThread = CTFTPEventPublisher::callingThread();
        publisher.registerSubscriber(subscriber.get());
    });
    std::vector<int64_t> sequences;
    for (int i = 0; i < 50; ++i) {
        const osk::CAppEventPtr event(new CStateEvent(0, new CState(sampleState())));
        sequences.push_back(event->sequence());
        publisher.publishEvent(event);
    }
    const auto received = subscriber->waitFor(50);
    ASSERT_EQ(50u, received.size());
    for (size_t i = 0; i < received.size(); ++i) EXPECT_EQ(sequences[i], received[i]->sequence());
    EXPECT_NE(CTFTPEventPublisher::callingThread(), taskThread);
}

TEST_F(EventPublisherTest, AStalledSubscriberNeverHoldsUpThePublisher)
{
    onTaskThread(*task, [&] { publisher.registerSubscriber(subscriber.get()); });
    subscriber->stall(true);
    // Far more events than the subscriber's queue can take while its
    // thread is stuck: every call returns, the overflow is recorded on the
    // publishing thread and nothing blocks.
    const int burst = 10000;
    for (int i = 0; i < burst; ++i)
        publisher.publishEvent(osk::CAppEventPtr(new CStateEvent(0, new CState(sampleState()))));
    osk::CExceptionFacade& facade = controller.exceptionFacade();
    const size_t recorded = facade.size() + controller.countContaining("Command queue overflow.");
    EXPECT_GT(recorded, 0u);
    if (!facade.empty()) {
        EXPECT_EQ("Command queue overflow.", facade.outer()->whyMsg().formatted());
        EXPECT_NE(nullptr, dynamic_cast<osk::CExQueueFull*>(facade.outer().get()));
    }
    facade.clear();
    // Released, the subscriber catches up with what its queue held.
    subscriber->stall(false);
    const osk::CAppEventPtr last(new CStateEvent(0, new CState(sampleState())));
    publisher.publishEvent(last);
    const auto received = subscriber->waitFor(2);
    ASSERT_GE(received.size(), 2u);
    EXPECT_LT(received.size(), static_cast<size_t>(burst));
    for (size_t i = 1; i < received.size(); ++i) EXPECT_LT(received[i - 1]->sequence(), received[i]->sequence());
}

TEST(CmdTFTPEvent, IsNamedAndCallsItsSubscriber)
{
    CTestController controller;
    Task task(&controller, "t", 1);
    CRecordingSubscriber subscriber(&task);
    const osk::CAppEventPtr event(new CStateEvent(0, new CState(sampleState())));
    CCmdTFTPEvent command(event, &subscriber);
    EXPECT_EQ("tftp-event", command.name());
    command.execute(0);
    command.signalResult();
    ASSERT_EQ(1u, subscriber.waitFor(1).size());
    EXPECT_EQ(event.get(), subscriber.waitFor(1)[0].get());
}
