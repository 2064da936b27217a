// SPDX-License-Identifier: GPL-2.0-or-later
// The trellis coder of woven carriers: embedding and extraction at the size of a
// 12-megapixel JPEG (17 million AC coefficients, 0.1 bits per non-zero one of about 5
// million), embedding into the 36 million samples of a 12-megapixel RGB picture at 0.1
// bits per sample, on the portable pass (arg 0), the AVX2 pass (arg 1) and the AVX-512
// pass (arg 2); and its coding efficiency against the rate-distortion bound at relative
// payloads of 0.05 to 0.5 (arg: payload in thousandths).
#include "BenchFiles.h"
#include "weave/TrellisCoder.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <random>

namespace lumora::bench {
namespace {

constexpr size_t kJpegElements = 17'000'000;
constexpr size_t kJpegBits = 500'000;
constexpr size_t kPngElements = 36'000'000;

uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// A cover computed on the fly, as the carrier computes its costs: random parities and
// costs spread over three decades, one element in 20 wet.
bool SyntheticCover(size_t begin, std::span<uint8_t> parities, std::span<float> costs) {
    for (size_t i = 0; i < parities.size(); ++i) {
        const uint64_t z = Mix(begin + i);
        parities[i] = static_cast<uint8_t>(z & 1);
        const unsigned level = static_cast<unsigned>(z >> 54); // 0..1023
        costs[i] = level < 51 ? INFINITY : std::exp2(static_cast<float>(level) / 100.0f);
    }
    return true;
}

std::vector<uint8_t> RandomBits(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bits(count);
    for (uint8_t& bit : bits)
        bit = static_cast<uint8_t>(random() & 1);
    return bits;
}

void RunEmbed(benchmark::State& state, size_t elements, size_t bits) {
    std::optional<VectorCeiling> ceiling;
    if (!ChooseVectorLevel(state, ceiling))
        return;
    const std::vector<uint8_t> message = RandomBits(bits, 5);
    std::vector<size_t> flipped;
    weave::TrellisResult result;
    double peak = 0;
    for (auto _ : state) {
        peak = PeakMiBAddedBy(
            [&] { result = weave::EmbedParities(elements, SyntheticCover, message, flipped); });
    }
    if (!result.Ok())
        state.SkipWithError("embedding failed");
    state.counters["changes"] = static_cast<double>(result.changes);
    state.counters["peak_added_MiB"] = peak;
}

void BM_TrellisEmbedJpegSize(benchmark::State& state) {
    RunEmbed(state, kJpegElements, kJpegBits);
}
BENCHMARK(BM_TrellisEmbedJpegSize)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kSecond);

// The samples of a 12-megapixel RGB picture at 0.1 bits per sample.
void BM_TrellisEmbedPngSize(benchmark::State& state) {
    RunEmbed(state, kPngElements, kPngElements / 10);
}
BENCHMARK(BM_TrellisEmbedPngSize)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kSecond);

void BM_TrellisExtractJpegSize(benchmark::State& state) {
    std::vector<uint8_t> parities(kJpegElements);
    for (size_t i = 0; i < parities.size(); ++i)
        parities[i] = static_cast<uint8_t>(Mix(i) & 1);
    std::vector<uint8_t> bits;
    for (auto _ : state) {
        weave::ExtractParities(parities, kJpegBits, bits);
        benchmark::DoNotOptimize(bits.data());
    }
}
BENCHMARK(BM_TrellisExtractJpegSize)->Unit(benchmark::kMillisecond);

// Inverse of the binary entropy function on [0, 1/2].
double InverseEntropy(double bits) {
    double low = 0;
    double high = 0.5;
    for (int i = 0; i < 60; ++i) {
        const double p = (low + high) / 2;
        const double h = -p * std::log2(p) - (1 - p) * std::log2(1 - p);
        (h < bits ? low : high) = p;
    }
    return (low + high) / 2;
}

// Uniform costs: the changes are what the code spends. Reports the message bits per
// change, the bound's, and the changes as a multiple of the bound's.
void BM_TrellisEfficiency(benchmark::State& state) {
    constexpr size_t kElements = size_t{1} << 20;
    const double rate = static_cast<double>(state.range(0)) / 1000.0;
    const size_t bitCount = static_cast<size_t>(rate * kElements);
    const std::vector<uint8_t> parities = RandomBits(kElements, 11);
    const std::vector<float> costs(kElements, 1.0f);
    const std::vector<uint8_t> message = RandomBits(bitCount, 12);
    std::vector<size_t> flipped;
    weave::TrellisResult result;
    for (auto _ : state)
        result = weave::EmbedParities(parities, costs, message, flipped);
    if (!result.Ok() || result.changes == 0) {
        state.SkipWithError("embedding failed");
        return;
    }
    const double boundChanges = InverseEntropy(rate) * kElements;
    state.counters["bits_per_change"] = static_cast<double>(bitCount) / result.changes;
    state.counters["bound_bits_per_change"] = static_cast<double>(bitCount) / boundChanges;
    state.counters["changes_vs_bound"] = static_cast<double>(result.changes) / boundChanges;
}
BENCHMARK(BM_TrellisEfficiency)->Arg(50)->Arg(100)->Arg(200)->Arg(500)->Unit(benchmark::kSecond);

} // namespace
} // namespace lumora::bench
