#include "core/base/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseHugePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // A huge page is 2 MB: a smaller buffer would not hold a whole one.
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (!data || bytes < 4 * kHugePage)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~std::uintptr_t(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
