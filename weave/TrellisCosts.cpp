// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/TrellisCosts.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace lumora::weave {
namespace {

// The reference cost lies below 2^kReferenceBits units.
constexpr int kReferenceBits = 7;
// The reference is the cost below which 1 / kReferenceShare of the finite non-zero costs lie.
constexpr size_t kReferenceShare = 8;

} // namespace

float CostScale(std::span<const float> costs) {
    // Costs by their binary exponent: bucket e holds [2^(e - 127), 2^(e - 126)), bucket 0
    // the subnormal ones, bucket 255 +infinity.
    // Neighbouring costs often share a bucket, and a count waits on its last increment, so
    // four sets of counts take turns and are added up after.
    constexpr size_t kCounts = 4;
    std::array<std::array<size_t, 256>, kCounts> counts{};
    const auto bucketOf = [&costs](size_t i) {
        return std::bit_cast<uint32_t>(costs[i]) >> 23 & 0xFF;
    };
    size_t i = 0;
    for (; i + kCounts <= costs.size(); i += kCounts) {
        for (size_t k = 0; k < kCounts; ++k)
            ++counts[k][bucketOf(i + k)];
    }
    for (; i < costs.size(); ++i)
        ++counts[0][bucketOf(i)];
    std::array<size_t, 256> buckets{};
    for (const auto& set : counts)
        for (size_t e = 0; e < buckets.size(); ++e)
            buckets[e] += set[e];
    size_t finite = 0;
    for (size_t e = 0; e < 255; ++e)
        finite += e == 0 ? 0 : buckets[e];
    // Bucket 0 mixes zeros with subnormal costs; both count as nothing here.
    const size_t wanted = (finite + kReferenceShare - 1) / kReferenceShare;
    int exponent = 127; // costs around 1 when every cost is 0 or wet
    size_t seen = 0;
    for (size_t e = 1; e < 255 && wanted != 0; ++e) {
        seen += buckets[e];
        if (seen >= wanted) {
            exponent = static_cast<int>(e);
            break;
        }
    }
    // The bucket's top, 2^(exponent - 126), becomes 2^kReferenceBits units.
    return std::ldexp(1.0f, std::clamp(kReferenceBits + 126 - exponent, -126, 127));
}

void ScaleCosts(std::span<const float> costs, float scale, int16_t* units) {
    // Four at a time, without a branch: a cost of +infinity scales past kMostCost too, and
    // is told apart at the end. The last group may be short.
    using Floats = float __attribute__((vector_size(16)));
    using Ints = int32_t __attribute__((vector_size(16)));
    using Shorts = int16_t __attribute__((vector_size(8)));
    const Floats most = Floats{} + static_cast<float>(kMostCost);
    const Floats infinite = Floats{} + std::numeric_limits<float>::infinity();
    const auto scaleGroup = [&](size_t i, size_t count) {
        Floats cost{};
        std::memcpy(&cost, costs.data() + i, count * sizeof(float));
        const Floats scaled = cost * scale;
        const Floats held = scaled < most ? scaled + 0.5f : most;
        const Ints rounded = __builtin_convertvector(held, Ints);
        const Ints unit = cost == infinite ? Ints{} + kWetCost : rounded;
        const Shorts narrow = __builtin_convertvector(unit, Shorts);
        std::memcpy(units + i, &narrow, count * sizeof(int16_t));
    };
    size_t i = 0;
    for (; i + 4 <= costs.size(); i += 4)
        scaleGroup(i, 4);
    if (i < costs.size())
        scaleGroup(i, costs.size() - i);
}

} // namespace lumora::weave
