#include "app/largeheap.h"

// Defines __GLIBC__ where it is the C library.
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>
#define KESTRUNE_LARGE_HEAP_PAGES
#endif

#ifdef KESTRUNE_LARGE_HEAP_PAGES
// The C library's own default.
static constexpr int usualTopPad = 128 * 1024;
#endif

void useLargeHeapPages()
{
#if defined(KESTRUNE_LARGE_HEAP_PAGES) && defined(MADV_HUGEPAGE)
    // Address space for it is plentiful only with 64-bit pointers.
    if (sizeof(void *) < 8)
        return;
    // The heap grows by brk; a region of it advised for huge pages does not
    // pass the advice on to a later growth, so the heap is grown once, far,
    // and advised. That reserves address space only.
    constexpr int reserve = 1 << 30;
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    if (mallopt(M_TOP_PAD, reserve) != 1)
        return;
    char *const before = static_cast<char *>(sbrk(0));
    // Blocks below the size malloc takes from mmap instead of the heap, until
    // the heap has grown.
    std::vector<void *> blocks;
    blocks.reserve(64);
    while (static_cast<char *>(sbrk(0)) == before && blocks.size() < 64) {
        void *block = malloc(64 * 1024);
        if (!block)
            break;
        blocks.push_back(block);
    }
    for (void *block : blocks)
        free(block);
    char *const after = static_cast<char *>(sbrk(0));
    // Refused (a limit on memory, strict accounting): every later growth
    // would ask for as much, and fail the same way.
    if (after == before || after == reinterpret_cast<char *>(-1)) {
        mallopt(M_TOP_PAD, usualTopPad);
        return;
    }
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(before) + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(after);
    if (from < to)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#endif
}

void endLargeHeapPages()
{
#ifdef KESTRUNE_LARGE_HEAP_PAGES
    mallopt(M_TOP_PAD, usualTopPad);
#endif
}
