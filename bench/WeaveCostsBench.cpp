// SPDX-License-Identifier: GPL-2.0-or-later
// The costs of woven carriers at the size of a 12-megapixel picture: HILL over the three
// channels of a 4000 x 3000 RGB picture (time and the peak memory it adds), and UERD over
// the 17 million AC coefficients of a 4:2:0 JPEG of that size, with one cost asked for
// every coefficient, as the coder asks for them.
#include "BenchFiles.h"
#include "weave/HillCosts.h"
#include "weave/UerdCosts.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>

namespace lumora::bench {
namespace {

constexpr size_t kWidth = 4000;
constexpr size_t kHeight = 3000;

// A picture with smooth and textured parts: gradients with noise whose strength varies.
std::vector<uint8_t> SyntheticRgb() {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    std::mt19937 random(3);
    for (size_t y = 0; y < kHeight; ++y)
        for (size_t x = 0; x < kWidth; ++x) {
            const unsigned strength = ((x / 500 + y / 500) % 4) * 8;
            for (size_t c = 0; c < 3; ++c) {
                const unsigned noise = strength == 0 ? 0 : random() % strength;
                rgb[(y * kWidth + x) * 3 + c] = static_cast<uint8_t>((x + y + 40 * c) / 30 + noise);
            }
        }
    return rgb;
}

void BM_HillCosts12MegapixelRgb(benchmark::State& state) {
    const std::vector<uint8_t> rgb = SyntheticRgb();
    double peak = 0;
    size_t costBytes = 0;
    for (auto _ : state) {
        peak = PeakMiBAddedBy([&] {
            weave::HillCosts costs;
            for (size_t c = 0; c < 3; ++c)
                costs.AddChannel(
                    weave::SamplePlane{rgb.data() + c, kWidth, kHeight, kWidth * 3, 3});
            costBytes = costs.CostBytes();
            benchmark::DoNotOptimize(costs.At(2, kWidth - 1, kHeight - 1));
        });
    }
    state.counters["peak_added_MiB"] = peak;
    state.counters["cost_MiB"] = static_cast<double>(costBytes) / kMiB;
}
BENCHMARK(BM_HillCosts12MegapixelRgb)->Unit(benchmark::kMillisecond);

struct Component {
    size_t width;
    size_t height;
    std::vector<int16_t> coefficients;
};

// Coefficients that fall off with frequency, as a photograph's do.
Component SyntheticComponent(size_t width, size_t height, uint32_t seed) {
    Component c{width, height, std::vector<int16_t>(width * height * 64)};
    std::mt19937 random(seed);
    for (size_t i = 0; i < c.coefficients.size(); ++i) {
        const size_t p = i % 64;
        const int spread = static_cast<int>(40 / (1 + p % 8 + p / 8));
        c.coefficients[i] =
            static_cast<int16_t>(static_cast<int>(random() % (2 * spread + 1)) - spread);
    }
    return c;
}

void BM_UerdCosts12MegapixelJpeg(benchmark::State& state) {
    const std::vector<Component> components = {SyntheticComponent(500, 375, 1),
                                               SyntheticComponent(250, 188, 2),
                                               SyntheticComponent(250, 188, 3)};
    const std::vector<uint16_t> steps(64, 3);
    size_t asked = 0;
    for (auto _ : state) {
        float total = 0;
        asked = 0;
        for (const Component& c : components) {
            const auto costs = weave::UerdCosts::Make(c.coefficients, c.width, c.height, steps);
            for (size_t b = 0; b < costs->Blocks(); ++b)
                for (unsigned p = 1; p < 64; ++p, ++asked)
                    total += costs->At(b, p).Flip();
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["coefficients"] = static_cast<double>(asked);
}
BENCHMARK(BM_UerdCosts12MegapixelJpeg)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace lumora::bench
