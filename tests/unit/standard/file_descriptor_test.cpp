#include "standard/file_descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

int openNull()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

TEST(FileDescriptorTest, EveryDescriptorTakenIsClosedExactlyOnce)
{
    const int first = openNull();
    const int second = openNull();
    const int third = openNull();
    int released = -1;
    {
        osk::CFileDescriptor owner(first);
        // reset closes what was held and keeps the new one.
        owner.reset(second);
        EXPECT_FALSE(isOpen(first));
        EXPECT_EQ(second, owner.get());

        // A move hands the descriptor on; assigning over an owner closes its own.
        osk::CFileDescriptor other(third);
        other = std::move(owner);
        EXPECT_FALSE(isOpen(third));
        EXPECT_FALSE(owner);
        EXPECT_EQ(second, other.get());

        // release gives it up without closing.
        released = other.release();
        EXPECT_FALSE(other);
        EXPECT_TRUE(other.close());
    }
    EXPECT_EQ(second, released);
    EXPECT_TRUE(isOpen(released));
    ::close(released);
}

TEST(FileDescriptorTest, WriteAllWritesEveryByteThroughAPipe)
{
    int ends[2];
    ASSERT_EQ(0, ::pipe(ends));
    osk::CFileDescriptor reader(ends[0]);
    osk::CFileDescriptor writer(ends[1]);
    const std::string text(4000, 'x');
    ASSERT_TRUE(osk::CFileDescriptor::writeAll(writer.get(), text));
    ASSERT_TRUE(writer.close());
    std::string got;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(reader.get(), buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
    EXPECT_EQ(text, got);
    // Writing to a closed descriptor fails and says why.
    EXPECT_FALSE(osk::CFileDescriptor::writeAll(ends[1], "y"));
    EXPECT_EQ(EBADF, errno);
}

} // namespace
