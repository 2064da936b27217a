// SPDX-License-Identifier: GPL-2.0-or-later
// A segment's costs as the forward pass adds them: 16-bit integers, so that a vector holds
// twice the states it would as floats. A segment's costs are scaled by a power of two that
// puts the cost below which an eighth of its elements lie at 64 to 128 units, rounded, and
// held to at most kMostCost units: cheap elements keep about the resolution of their
// costs, and elements at least 16 times dearer than that eighth are all equally dear (the
// coder seldom flips any of them). Wet elements (+infinity) take kWetCost, which no sum
// passes: a state cost that reaches it is unreachable. A sum that saturates so loses its
// path, never makes a wrong one. The forward pass lowers the states by their least cost at
// each block, so a path's sum saturates only when it costs 16 of the dearest changes more
// than the cheapest state's; of the covers tried (extremes and mostly wet ones included)
// none lost its every path so.
#pragma once

#include <cstdint>
#include <span>

namespace lumora::weave {

inline constexpr int16_t kWetCost = INT16_MAX;
inline constexpr int16_t kUnreachableCost = kWetCost;
inline constexpr int16_t kMostCost = 2047;

// The power of two a segment's costs (each +0 or more, or +infinity) are multiplied by.
float CostScale(std::span<const float> costs);

// The costs times `scale`, rounded to the nearest unit and held to kMostCost, or kWetCost.
void ScaleCosts(std::span<const float> costs, float scale, int16_t* units);

} // namespace lumora::weave
