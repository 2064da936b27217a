// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/VectorLevel.h"

#include <algorithm>
#include <atomic>

namespace lumora {
namespace {

VectorLevel ProcessorLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init(); // also right when first asked from a static constructor
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
        return VectorLevel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return VectorLevel::Avx2;
#endif
    return VectorLevel::Portable;
}

std::atomic<VectorLevel> g_ceiling{VectorLevel::Avx512};

} // namespace

VectorLevel UsableVectorLevel() {
    static const VectorLevel processor = ProcessorLevel();
    return std::min(processor, g_ceiling.load(std::memory_order_relaxed));
}

VectorCeiling::VectorCeiling(VectorLevel ceiling) : m_before(g_ceiling.exchange(ceiling)) {}

VectorCeiling::~VectorCeiling() {
    g_ceiling = m_before;
}

} // namespace lumora
