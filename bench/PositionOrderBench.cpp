// SPDX-License-Identifier: GPL-2.0-or-later
// What placing the elements of a woven carrier costs per order index: the keyed bijection
// alone (arg: the domain; 2^24 needs no cycle walking, 2^24 + 1 the most, 17 million is a
// 12-megapixel JPEG's AC coefficients), the whole order (public after keyed) and the tie
// bits, each over segments of 2^16 order indices as the coder asks for them.
#include "crypt/PositionOrder.h"
#include "crypt/WovenOrder.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <vector>

namespace lumora::bench {
namespace {

constexpr size_t kSegment = 65536;

const WovenKeys& TestKeys() {
    static const WovenKeys keys = [] {
        UseWovenTestFormat(true);
        WovenKeys derived;
        if (NewWovenKeys(Password("bench"), derived) != SealedOutcome::Ok)
            std::abort();
        UseWovenTestFormat(false);
        return derived;
    }();
    return keys;
}

void BM_PositionOrderMap(benchmark::State& state) {
    const uint8_t key[PositionOrder::kKeySize] = {7};
    const PositionOrder order(key, static_cast<uint64_t>(state.range(0)));
    std::vector<uint32_t> values(kSegment);
    uint32_t first = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = first + static_cast<uint32_t>(i);
        order.Map(values.data(), values.size());
        benchmark::DoNotOptimize(values.data());
        first = static_cast<uint32_t>((first + kSegment) % (order.Domain() - kSegment));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSegment));
}
BENCHMARK(BM_PositionOrderMap)->Arg(16'777'216)->Arg(16'777'217)->Arg(17'000'000);

void BM_WovenOrderFill(benchmark::State& state) {
    const WovenOrder order(static_cast<uint64_t>(state.range(0)), TestKeys());
    std::vector<uint32_t> elements(kSegment);
    uint64_t first = 0;
    for (auto _ : state) {
        order.Fill(first, elements.size(), elements.data());
        benchmark::DoNotOptimize(elements.data());
        first = (first + kSegment) % (order.Elements() - kSegment);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSegment));
}
BENCHMARK(BM_WovenOrderFill)->Arg(16'777'216)->Arg(16'781'313)->Arg(17'000'000);

void BM_WovenTieBits(benchmark::State& state) {
    std::vector<uint8_t> bits(kSegment);
    uint64_t first = 0;
    for (auto _ : state) {
        FillWovenTieBits(TestKeys(), first, bits.size(), bits.data());
        benchmark::DoNotOptimize(bits.data());
        first += kSegment;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kSegment));
}
BENCHMARK(BM_WovenTieBits);

} // namespace
} // namespace lumora::bench
