#include "app/largeheap.h"

// Defines __GLIBC__ where it is the C library.
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>
#endif

#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
// The C library's own default.
static constexpr int usualTopPad = 128 * 1024;
#endif

void useLargeHeapPages()
{
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    // The heap grows by brk; a region of it advised for huge pages does not
    // pass the advice on to a later growth, so the heap is grown once, far,
    // and advised. That reserves address space only.
    constexpr int reserve = 1 << 30;
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    if (mallopt(M_TOP_PAD, reserve) != 1)
        return;
    char *const before = static_cast<char *>(sbrk(0));
    // Below the size malloc takes from mmap instead of the heap.
    std::vector<void *> blocks;
    while (static_cast<char *>(sbrk(0)) == before && blocks.size() < 64) {
        void *p = malloc(64 * 1024);
        if (!p)
            break;
        blocks.push_back(p);
    }
    for (void *p : blocks)
        free(p);
    char *const after = static_cast<char *>(sbrk(0));
    if (after == before || after == reinterpret_cast<char *>(-1))
        return;
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(before) + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(after);
    if (from < to)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#endif
}

void endLargeHeapPages()
{
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    mallopt(M_TOP_PAD, usualTopPad);
#endif
}
