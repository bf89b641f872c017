#include "openfilelimit.h"

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace corvanta {
namespace {

// Slots in this process's table of open files, as the kernel reports it.
long tableSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("FDSize:", 0) == 0)
            return std::stol(line.substr(7));
    }
    return -1;
}

int openDescriptors()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

TEST(ReserveFileDescriptors, GrowsTheTableWithinTheLimitWithoutOpeningOrReplacingAnything)
{
    raiseOpenFileLimit();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_GE(saved.rlim_cur, rlim_t(3000)) << "the test needs an open-file limit of 3000";

    // A descriptor already at a high number, inside the range to reserve.
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    const int high = ::fcntl(probe, F_DUPFD_CLOEXEC, 2000);
    ASSERT_GE(high, 2000);
    const int before = openDescriptors();

    reserveFileDescriptors(3000);
    EXPECT_GE(tableSize(), 3000);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(::fcntl(high, F_GETFD), FD_CLOEXEC) << "the reservation replaced a descriptor";

    // Under a limit the table has reached, no request grows it further.
    rlimit low = saved;
    low.rlim_cur = rlim_t(tableSize());
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    for (const int count : {1 << 20, 0, -5})
        reserveFileDescriptors(count);
    EXPECT_LE(tableSize(), long(low.rlim_cur));
    EXPECT_EQ(openDescriptors(), before);

    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ::close(high);
    ::close(probe);
}

} // namespace
} // namespace corvanta
