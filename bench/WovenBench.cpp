// SPDX-License-Identifier: GPL-2.0-or-later
// Woven carriers end to end on 12-megapixel pictures, one thread, without the key
// derivation (keys are derived ahead with the tests' cheap format; SealedBench measures a
// released derivation): weaving at the default ceiling (0.1 bits per non-zero AC
// coefficient of a JPEG, per usable sample of a PNG) and reading it back, each with the
// picture's own reading and writing. Arg 0, 1 or 2 holds the whole run to no vector
// instructions beyond SSE2, to AVX2 or to AVX-512. Counters: the archive carried, the
// elements changed, the cover's own element data (coefficients or samples, which the memory
// target leaves out) and the peak memory the work added beyond the input file held in
// memory.
#include "BenchFiles.h"
#include "BenchPictures.h"
#include "engine/WovenCarrier.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <stdexcept>

namespace lumora::bench {
namespace {

constexpr size_t kWidth = 4000;
constexpr size_t kHeight = 3000;

struct Prepared {
    std::vector<uint8_t> file;
    std::vector<uint8_t> archive; // at the picture's capacity
    WovenSize size;
    double coverMiB = 0; // the picture's element data as the cover holds it
};

Prepared Prepare(std::vector<uint8_t> file, double coverMiB) {
    Prepared prepared;
    prepared.file = std::move(file);
    prepared.size = WovenCapacity(MemorySource(prepared.file)).size;
    prepared.archive = RandomBytes(prepared.size.capacityBytes, 9);
    prepared.coverMiB = coverMiB;
    return prepared;
}

const Prepared& Jpeg() {
    // 4:2:0: 500 x 375 luminance blocks and two chroma components of 250 x 188, 128 bytes each.
    static const Prepared jpeg = Prepare(EncodeJpeg(PhotoLikePicture(kWidth, kHeight, 1), 90),
                                         (500.0 * 375 + 2 * 250.0 * 188) * 128 / kMiB);
    return jpeg;
}

const Prepared& Png() {
    static const Prepared png =
        Prepare(EncodePng(PhotoLikePicture(kWidth, kHeight, 2)), 3.0 * kWidth * kHeight / kMiB);
    return png;
}

WovenKeys FreshKeys() {
    UseWovenTestFormat(true);
    WovenKeys keys;
    if (NewWovenKeys(Password("bench"), keys) != SealedOutcome::Ok)
        throw std::runtime_error("cannot derive the bench's woven keys");
    return keys;
}

void RunWeave(benchmark::State& state, const Prepared& picture) {
    std::optional<VectorCeiling> ceiling;
    if (!ChooseVectorLevel(state, ceiling))
        return;
    FILE* sink = std::fopen("/dev/null", "wb");
    WeaveResult result;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const WovenKeys keys = FreshKeys();
        state.ResumeTiming();
        peak = PeakMiBAddedBy(
            [&] { result = Weave(MemorySource(picture.file), picture.archive, keys, sink); });
    }
    std::fclose(sink);
    if (result.outcome != WovenOutcome::Ok)
        state.SkipWithError("weaving failed");
    state.counters["archive_KiB"] = static_cast<double>(picture.archive.size()) / 1024;
    state.counters["changes"] = static_cast<double>(result.changes);
    state.counters["cover_MiB"] = picture.coverMiB;
    state.counters["peak_added_MiB"] = peak;
}

void RunUnweave(benchmark::State& state, const Prepared& picture) {
    std::optional<VectorCeiling> ceiling;
    if (!ChooseVectorLevel(state, ceiling))
        return;
    const WovenKeys keys = FreshKeys();
    std::vector<uint8_t> woven;
    if (Weave(MemorySource(picture.file), picture.archive, keys, &woven).outcome !=
        WovenOutcome::Ok) {
        state.SkipWithError("weaving failed");
        return;
    }
    UnweaveResult result;
    double peak = 0;
    for (auto _ : state)
        peak = PeakMiBAddedBy([&] { result = Unweave(MemorySource(woven), keys); });
    if (result.outcome != WovenOutcome::Ok)
        state.SkipWithError("reading failed");
    state.counters["cover_MiB"] = picture.coverMiB;
    state.counters["peak_added_MiB"] = peak;
}

void BM_WovenWeaveJpeg12Megapixel(benchmark::State& state) {
    RunWeave(state, Jpeg());
    state.counters["nonzero_ac"] = static_cast<double>(Jpeg().size.ceilingCount);
}
BENCHMARK(BM_WovenWeaveJpeg12Megapixel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_WovenReadJpeg12Megapixel(benchmark::State& state) {
    RunUnweave(state, Jpeg());
}
BENCHMARK(BM_WovenReadJpeg12Megapixel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_WovenWeavePng12Megapixel(benchmark::State& state) {
    RunWeave(state, Png());
}
BENCHMARK(BM_WovenWeavePng12Megapixel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_WovenReadPng12Megapixel(benchmark::State& state) {
    RunUnweave(state, Png());
}
BENCHMARK(BM_WovenReadPng12Megapixel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace lumora::bench
