#include "openfilelimit.h"

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define CORVANTA_HAS_RLIMIT 1
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

} // namespace corvanta
