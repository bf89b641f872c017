#include "openfilelimit.h"

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define CORVANTA_HAS_RLIMIT 1
#endif

#ifdef __linux__
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace corvanta {

void raiseOpenFileLimit() noexcept
{
#ifdef CORVANTA_HAS_RLIMIT
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}

void reserveFileDescriptors(int count) noexcept
{
#ifdef __linux__
    rlimit limit{};
    if (count <= 0 || ::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = std::min<rlim_t>(rlim_t(count), limit.rlim_cur);
    if (wanted < 2)
        return;
    // A duplicate at the lowest free number from the table's last wanted
    // slot on makes the kernel size the table for it; F_DUPFD never replaces
    // an open descriptor, unlike dup2.
    const int any = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (any < 0)
        return;
    const int high = ::fcntl(any, F_DUPFD_CLOEXEC, int(wanted - 1));
    if (high >= 0)
        ::close(high);
    ::close(any);
#else
    (void)count;
#endif
}

} // namespace corvanta
