#include "ace_ext/reactor_notify.h"

#include <ace/Reactor.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "ace_ext/general_reactor_types.h"
#include "support/thrown.h"

namespace {

int openDescriptors()
{
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

// Delivers null items only; counts them.
class CCountingNotify : public osk::CReactorNotify {
public:
    int wakeups = 0;

protected:
    void dispatch(void* data) override
    {
        osk::CReactorNotify::dispatch(data);
        ++wakeups;
    }
};

TEST(ReactorNotifyTest, ReopeningReleasesTheOldPair)
{
    ACE_Reactor reactor(new osk::CSTReactor(FD_SETSIZE, false, nullptr, nullptr, 1), true);
    CCountingNotify channel;
    channel.open(&reactor);
    const ACE_HANDLE first = channel.get_handle();
    const int descriptors = openDescriptors();
    channel.open(&reactor);
    EXPECT_EQ(descriptors, openDescriptors());
    EXPECT_EQ(&channel, reactor.find_handler(channel.get_handle()));
    if (channel.get_handle() != first) {
        EXPECT_EQ(nullptr, reactor.find_handler(first));
    }

    channel.notify(nullptr);
    ACE_Time_Value wait(1);
    EXPECT_EQ(1, reactor.handle_events(wait));
    EXPECT_EQ(1, channel.wakeups);
    channel.close();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_THROW(channel.notify(nullptr), osk::CExNotifyFull);
}

TEST(ReactorNotifyTest, NonNullItemIsOutOfContextForThePlainChannel)
{
    ACE_Reactor reactor(new osk::CSTReactor(FD_SETSIZE, false, nullptr, nullptr, 1), true);
    CCountingNotify channel;
    channel.open(&reactor);
    int item = 0;
    channel.notify(&item);
    EXPECT_EQ("Failed to receive reactor notification. / Specialized data received out of context.",
              test_support::failureOf([&] { channel.handle_input(channel.get_handle()); }));
    EXPECT_EQ(0, channel.wakeups);
}

} // namespace
