// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/UerdCosts.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace lumora::weave {
namespace {

constexpr float kWet = std::numeric_limits<float>::infinity();
constexpr size_t kBlockSize = 64;

std::vector<float> BlockEnergies(std::span<const int16_t> coefficients,
                                 std::span<const uint16_t> quantization) {
    std::vector<float> energies(coefficients.size() / kBlockSize);
    for (size_t b = 0; b < energies.size(); ++b) {
        const int16_t* block = coefficients.data() + b * kBlockSize;
        int64_t energy = 0;
        for (size_t p = 1; p < kBlockSize; ++p)
            energy += int64_t{std::abs(block[p])} * quantization[p];
        energies[b] = static_cast<float>(energy);
    }
    return energies;
}

// Turns energies into spreads in place, keeping copies of the original row above and the
// current row while the row is rewritten. Rows are `stride` apart; the blocks past `width`
// in a row are padding, whose spread is 0.
void SpreadOverNeighbours(std::vector<float>& grid, size_t width, size_t height, size_t stride) {
    std::vector<float> above(width);
    std::vector<float> current(width);
    for (size_t y = 0; y < height; ++y) {
        float* row = grid.data() + y * stride;
        std::copy(row, row + width, current.begin());
        std::fill(row + width, row + stride, 0.0f);
        if (y == 0)
            above = current;
        const float* below = y + 1 < height ? row + stride : current.data();
        for (size_t x = 0; x < width; ++x) {
            const size_t left = x > 0 ? x - 1 : 0;
            const size_t right = x + 1 < width ? x + 1 : x;
            const float around = above[left] + above[x] + above[right] + current[left] +
                                 current[right] + below[left] + below[x] + below[right];
            row[x] = current[x] + 0.25f * around;
        }
        std::swap(above, current);
    }
}

} // namespace

UerdCosts::UerdCosts(std::span<const int16_t> coefficients, std::vector<float> spread,
                     const std::array<float, 64>& steps, int limit)
    : coefficients_(coefficients), spread_(std::move(spread)), steps_(steps), limit_(limit) {}

std::optional<UerdCosts> UerdCosts::Make(std::span<const int16_t> coefficients,
                                         size_t widthInBlocks, size_t heightInBlocks,
                                         std::span<const uint16_t> quantization, int limit,
                                         size_t blocksPerRow) {
    if (blocksPerRow == 0)
        blocksPerRow = widthInBlocks;
    if (widthInBlocks == 0 || heightInBlocks == 0 || limit < 1 || blocksPerRow < widthInBlocks ||
        quantization.size() != kBlockSize ||
        heightInBlocks > coefficients.size() / kBlockSize / blocksPerRow ||
        coefficients.size() != blocksPerRow * heightInBlocks * kBlockSize)
        return std::nullopt;
    std::array<float, 64> steps{};
    for (size_t p = 0; p < kBlockSize; ++p) {
        if (quantization[p] == 0)
            return std::nullopt;
        steps[p] = static_cast<float>(quantization[p]);
    }
    std::vector<float> spread = BlockEnergies(coefficients, quantization);
    SpreadOverNeighbours(spread, widthInBlocks, heightInBlocks, blocksPerRow);
    return UerdCosts(coefficients, std::move(spread), steps, limit);
}

float UerdCosts::FlipAt(size_t block, unsigned position) const {
    if (block >= spread_.size() || position == 0 || position >= kBlockSize ||
        spread_[block] == 0.0f)
        return kWet;
    return steps_[position] / spread_[block];
}

ChangeCosts UerdCosts::At(size_t block, unsigned position) const {
    const float cost = FlipAt(block, position);
    if (cost == kWet)
        return {kWet, kWet};
    const int value = coefficients_[block * kBlockSize + position];
    return {value >= limit_ ? kWet : cost, value <= -limit_ ? kWet : cost};
}

} // namespace lumora::weave
