#include "core/base/limits.h"

#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace {

qint64 LimitOf(int resource) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0;
    return limit.rlim_cur > rlim_t(std::numeric_limits<qint64>::max())
               ? std::numeric_limits<qint64>::max()
               : qint64(limit.rlim_cur);
}

} // namespace

qint64 UsableMemoryBytes() {
    qint64 usable = 0;
    auto take = [&usable](qint64 bytes) {
        if (bytes > 0 && (usable == 0 || bytes < usable))
            usable = bytes;
    };
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        take(qint64(pages) * pageSize);
    take(LimitOf(RLIMIT_AS));
    take(LimitOf(RLIMIT_DATA));
    return usable;
}

qint64 FrameSetBytes(qint64 width, qint64 height, qint64 frames) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    if (width <= 0 || height <= 0 || frames <= 0)
        return 0;
    qint64 bytes = kFrameBytesPerPixel;
    for (const qint64 factor : {width, height, frames}) {
        if (bytes > kMax / factor)
            return kMax;
        bytes *= factor;
    }
    return bytes;
}

bool FramesFitInMemory(qint64 width, qint64 height, qint64 frames) {
    const qint64 usable = UsableMemoryBytes();
    if (usable == 0)
        return true; // nothing known to compare with; allocations are checked
    return FrameSetBytes(width, height, frames) <= usable / 4 * 3;
}
