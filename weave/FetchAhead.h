// SPDX-License-Identifier: GPL-2.0-or-later
// Asks the processor to bring a cache line in ahead of a read. The woven covers read
// elements scattered over tens of megabytes, one cache miss each; fetching a few dozen
// elements ahead lets the misses overlap. GCC 12 at -O2 drops __builtin_prefetch in some of
// those loops, so on x86 the instruction is written out.
#pragma once

namespace lumora::weave {

inline void FetchAhead(const void* address) {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
    __builtin_prefetch(address);
#endif
}

} // namespace lumora::weave
