// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/HugePageAllocator.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace lumora {
namespace {

size_t WholePages(size_t bytes) {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

} // namespace

void* MapHugePages(size_t asked) {
    // Map a huge page more than asked and give back what lies outside the aligned part.
    const size_t bytes = WholePages(asked);
    const size_t mapped = bytes + kHugePageBytes;
    void* place = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (place == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(place);
    const uintptr_t aligned = (start + kHugePageBytes - 1) & ~(uintptr_t{kHugePageBytes} - 1);
    if (aligned > start)
        munmap(place, aligned - start);
    const uintptr_t end = start + mapped;
    if (end > aligned + bytes)
        munmap(reinterpret_cast<void*>(aligned + bytes), end - aligned - bytes);
    // Advice only: without transparent huge pages the mapping works as it is.
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void UnmapHugePages(void* place, size_t bytes) {
    munmap(place, WholePages(bytes));
}

} // namespace lumora
