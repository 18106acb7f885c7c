#include "core/base/huge_pages.h"

#include <cstdint>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <list>
#include <mutex>
#include <sys/mman.h>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kSmallPage = 4096;

// The mapping behind a buffer of `bytes`: whole huge pages where rounding
// up adds at most an eighth, else whole small pages after the huge ones.
std::size_t MappedBytes(std::size_t bytes) {
    const std::size_t huge = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    if (huge - bytes <= bytes / 8)
        return huge;
    return (bytes + kSmallPage - 1) & ~(kSmallPage - 1);
}

// Blocks given back, kept mapped for the next frame of their size: a fresh
// mapping is zeroed by the system page by page, which cost a tenth of a
// large save after its faults were gone. A few frames' worth at most, so
// little stays held once a save is over.
class SpareBlocks {
public:
    void* Take(std::size_t mapped) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = 0; i < m_blocks.size(); ++i)
            if (m_blocks[i].mapped == mapped) {
                void* data = m_blocks[i].data;
                m_held -= mapped;
                m_blocks.erase(m_blocks.begin() + std::ptrdiff_t(i));
                return data;
            }
        return nullptr;
    }
    bool Keep(void* data, std::size_t mapped) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_held + mapped > kMostHeld)
            return false;
        m_blocks.push_back({data, mapped});
        m_held += mapped;
        return true;
    }

    void Release() {
        std::vector<Block> blocks;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            blocks.swap(m_blocks);
            m_held = 0;
        }
        for (const Block& block : blocks)
            munmap(block.data, block.mapped);
    }

private:
    static constexpr std::size_t kMostHeld = std::size_t(32) << 20;
    struct Block {
        void* data;
        std::size_t mapped;
    };
    std::mutex m_mutex;
    std::vector<Block> m_blocks;
    std::size_t m_held = 0;
};

SpareBlocks& Spares() {
    static SpareBlocks spares;
    return spares;
}

// Maps `mapped` bytes (whole huge pages) on a huge-page boundary, advised;
// null when the system has no memory.
void* MapHugePages(std::size_t mapped) {
#ifdef MADV_HUGEPAGE
    if (void* spare = Spares().Take(mapped))
        return spare;
    // Mapped a huge page over, then trimmed to start on a boundary.
    void* whole = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (whole == MAP_FAILED)
        return nullptr;
    const auto begin = reinterpret_cast<std::uintptr_t>(whole);
    const std::uintptr_t aligned = (begin + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > begin)
        munmap(whole, aligned - begin);
    const std::uintptr_t end = begin + mapped + kHugePage;
    if (end > aligned + mapped)
        munmap(reinterpret_cast<void*>(aligned + mapped), end - (aligned + mapped));
    madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
#else
    (void)mapped;
    return nullptr;
#endif
}

void UnmapHugePages(void* data, std::size_t mapped) {
    if (!Spares().Keep(data, mapped))
        munmap(data, mapped);
}

// Frames smaller than a huge page (8-bit frames, small ones) one after
// another in slabs of huge pages: from the heap each of them was fresh
// memory, a fault per 4 KB (a twentieth of a 1200 x 800 save in 8 bits).
// A slab goes back once all of its frames have; the one being filled starts
// over when they have.
class Slabs {
public:
    static constexpr std::size_t kBytes = 4 * kHugePage;
    static constexpr std::size_t kSmallest = std::size_t(128) << 10;

    void* Take(std::size_t bytes) {
        bytes = (bytes + 63) & ~std::size_t(63);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_current && m_current->live == 0)
            m_current->used = 0;
        if (!m_current || m_current->used + bytes > kBytes) {
            void* data = MapHugePages(kBytes);
            if (!data)
                return nullptr;
            Drop(m_current);
            m_slabs.push_back({reinterpret_cast<std::uintptr_t>(data), 0, 0});
            m_current = &m_slabs.back();
        }
        void* block = reinterpret_cast<void*>(m_current->begin + m_current->used);
        m_current->used += bytes;
        ++m_current->live;
        return block;
    }
    // False when the block is not one of the slabs'.
    bool Give(void* data) {
        const auto at = reinterpret_cast<std::uintptr_t>(data);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_slabs.begin(); it != m_slabs.end(); ++it) {
            if (at < it->begin || at >= it->begin + kBytes)
                continue;
            if (--it->live == 0 && &*it != m_current)
                Drop(&*it);
            return true;
        }
        return false;
    }
    // At the end of a save: the slab being filled goes too once it is empty.
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        Slab* current = m_current;
        m_current = nullptr;
        Drop(current);
    }

private:
    struct Slab {
        std::uintptr_t begin;
        std::size_t used;
        int live;
    };
    // Unmaps the slab if none of its frames is held (under the lock).
    void Drop(Slab* slab) {
        if (!slab || slab->live != 0)
            return;
        UnmapHugePages(reinterpret_cast<void*>(slab->begin), kBytes);
        m_slabs.remove_if([slab](const Slab& s) { return &s == slab; });
    }

    std::mutex m_mutex;
    std::list<Slab> m_slabs; // m_current points into it
    Slab* m_current = nullptr;
};

// Set for a program whose heap keeps what it frees: the command-line tool,
// which ends soon after its saves.
bool g_bKeepHeap = false;
// The block that takes the heap up to its huge pages; held here, as a
// volatile, so that the compiler does not leave the allocation out.
void* volatile g_pHeapPad = nullptr;

Slabs& FrameSlabs() {
    static Slabs slabs;
    return slabs;
}

} // namespace

void AdviseHugePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // A smaller buffer would not hold a whole huge page, or would lose most
    // of its pages to the ends.
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

void* AllocateFrameMemory(std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePage)
        return MapHugePages(MappedBytes(bytes));
    if (bytes >= Slabs::kSmallest)
        if (void* block = FrameSlabs().Take(bytes))
            return block;
#endif
    return std::malloc(bytes > 0 ? bytes : 1);
}

void FreeFrameMemory(void* data, std::size_t bytes) {
    if (!data)
        return;
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePage) {
        UnmapHugePages(data, MappedBytes(bytes));
        return;
    }
    if (bytes >= Slabs::kSmallest && FrameSlabs().Give(data))
        return;
#endif
    std::free(data);
}

void ReleaseSpareFrameMemory() {
    FrameSlabs().Release();
    Spares().Release();
#ifdef __GLIBC__
    if (!g_bKeepHeap)
        malloc_trim(0);
#endif
}

void KeepFreedMemoryDuringSaves() {
#ifdef __GLIBC__
    // Under a limit on address space, what the heap keeps or reserves ahead
    // is taken from what a save may have: a thread's stack, a frame.
    if (rlimit limit{}; getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return;
    // Blocks below 32 MB (the most the heap takes) come from the heap, and
    // free memory at its top stays.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // One heap for every thread, whose first megabytes are advised huge
    // pages: a thread's own heap, and the main one beyond, are new memory at
    // a fault per 4 KB, where a huge page is one fault and its zeroing costs
    // a third as much per byte. A small encode's histograms, converted
    // frames and the quantiser's tables took 1,700 faults, 12% of its CPU
    // time; now about 60. The threads take a few blocks a frame each, so
    // sharing the heap's lock costs nothing to see.
    mallopt(M_ARENA_MAX, 1);
    constexpr std::size_t kAdvised = std::size_t(16) << 20;
    void* block = std::malloc(kAdvised);
    if (!block)
        return;
    // Blocks are carved from the start of the heap's top, which is where
    // this one starts: a block kept for good takes the heap up to the next
    // huge page, so that what comes after is inside the advised pages. It is
    // never written, so it holds no memory.
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::size_t gap = (kHugePage - at % kHugePage) % kHugePage;
    std::free(block);
    if (gap > 64)
        g_pHeapPad = std::malloc(gap - 16); // 16: the next block's header
    block = std::malloc(kAdvised);
    if (!block)
        return;
    AdviseHugePages(block, kAdvised);
    std::free(block); // stays at the heap's top, below the trim threshold
    g_bKeepHeap = true;
#endif
}
