// SPDX-License-Identifier: GPL-2.0-or-later
// The filters behind HillCosts (see there), run over a plane band by band in exact integer
// arithmetic, and the one-byte logarithmic scale the costs are kept on.
#pragma once

#include "weave/HillCosts.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lumora::weave {

// The cost level of every sample of a valid plane, row-major: level L stands for the cost
// 2^((L - 128) / 8), the cost rounded to the nearest eighth of an octave and clamped.
CostLevels HillLevels(const SamplePlane& plane);

// The cost each level stands for.
const std::array<float, 256>& HillLevelCostTable();
inline float HillLevelCost(uint8_t level) {
    return HillLevelCostTable()[level];
}

} // namespace lumora::weave
