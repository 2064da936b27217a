// SPDX-License-Identifier: GPL-2.0-or-later
// The trellis decides which elements change parity; the change itself is +1 or -1,
// whichever costs less. An element's two costs are infinite on the side of a range limit.
#pragma once

#include <algorithm>

namespace lumora::weave {

// Costs of changing one element by +1 and by -1; +infinity where the change is not allowed.
struct ChangeCosts {
    float up = 0;
    float down = 0;

    // What the trellis sees: the cheaper of the two (+infinity: the element is wet).
    float Flip() const { return std::min(up, down); }
};

// +1 or -1 for an element that changes: the cheaper side, and on a tie (both sides cost the
// same) +1 when upOnTie is true. The caller draws upOnTie from its own keyed stream, so the
// direction of tied changes carries no pattern.
inline int ChooseChange(const ChangeCosts& costs, bool upOnTie) {
    if (costs.up < costs.down)
        return 1;
    if (costs.down < costs.up)
        return -1;
    return upOnTie ? 1 : -1;
}

} // namespace lumora::weave
