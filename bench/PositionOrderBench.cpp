// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PositionOrder.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace lumora::bench {
namespace {

void BM_PositionOrderFill(benchmark::State& state) {
    const uint8_t key[PositionOrder::kKeySize] = {7};
    const PositionOrder order(key, static_cast<uint64_t>(state.range(0)));
    std::vector<uint64_t> out(65536);
    uint64_t first = 0;
    for (auto _ : state) {
        order.Fill(first, out.size(), out.data());
        benchmark::DoNotOptimize(out.data());
        first = (first + out.size()) % (order.Domain() - out.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_PositionOrderFill)->Arg(17'000'000)->Arg(16'777'217)->Arg(16'777'216);

} // namespace
} // namespace lumora::bench
