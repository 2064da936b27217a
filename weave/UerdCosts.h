// SPDX-License-Identifier: GPL-2.0-or-later
// Costs of changing the quantized AC coefficients of one JPEG component, after UERD
// (uniform embedding revisited): a change spreads evenly over the DCT modes relative to
// their quantization steps, and costs less in busy blocks among busy neighbours.
//
//   energy(b) = sum over the 63 AC positions p of |coefficient(b, p)| * q(p)
//   spread(b) = energy(b) + 0.25 * (sum of energy over the 8 neighbouring blocks)
//   cost(b, p) = q(p) / spread(b)
//
// A neighbour outside the component is the nearest block inside it (the edge repeats).
// Wet (+infinity): both directions where spread(b) is 0 (a flat block among flat
// neighbours, where any change stands out); +1 for a coefficient at +limit and -1 at -limit,
// the largest magnitude the encoder can write (1023 for 8-bit samples). DC (position 0) is
// not a cover element and is always wet.
#pragma once

#include "weave/ChangeChoice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumora::weave {

inline constexpr int kBaselineCoefficientLimit = 1023;

class UerdCosts {
public:
    // coefficients: heightInBlocks rows of blocksPerRow blocks (widthInBlocks when 0), of
    // which the first widthInBlocks are the component's (libjpeg pads rows to a multiple of
    // the sampling factor), each 64 values in natural (row-major) order, as libjpeg's JBLOCK
    // holds them; quantization: 64 steps in natural order. The block energies are taken now;
    // the coefficients are read again by At (for the range limits) and must outlive the
    // object. nullopt when the sizes do not match, a step is 0 or the limit is below 1.
    static std::optional<UerdCosts> Make(std::span<const int16_t> coefficients,
                                         size_t widthInBlocks, size_t heightInBlocks,
                                         std::span<const uint16_t> quantization,
                                         int limit = kBaselineCoefficientLimit,
                                         size_t blocksPerRow = 0);

    // Costs of changing coefficient `position` (0..63, natural order) of block `block`
    // (row * blocksPerRow + column) by +1 and by -1. Out-of-range arguments and padding
    // blocks give wet costs.
    ChangeCosts At(size_t block, unsigned position) const;
    // The cheaper of the two, which needs no coefficient: no coefficient is at both ends of
    // the range at once, so only a wet block makes it wet.
    float FlipAt(size_t block, unsigned position) const;

    size_t Blocks() const { return spread_.size(); }

private:
    UerdCosts(std::span<const int16_t> coefficients, std::vector<float> spread,
              const std::array<float, 64>& steps, int limit);

    std::span<const int16_t> coefficients_;
    std::vector<float> spread_; // one per block
    std::array<float, 64> steps_;
    int limit_;
};

} // namespace lumora::weave
