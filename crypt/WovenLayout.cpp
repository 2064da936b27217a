// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/WovenLayout.h"

#include <algorithm>

namespace lumora {

WovenLayout LayoutWoven(uint64_t elements, uint64_t ceilingCount) {
    WovenLayout layout;
    layout.elements = elements;
    if (elements < kWovenMinElements)
        return layout;
    if (elements > kWovenMaxElements) {
        layout.fit = WovenFit::TooLarge;
        return layout;
    }
    layout.fit = WovenFit::Fits;
    layout.bodyPositions = elements - kWovenBodyStart;
    layout.limitBytes = layout.bodyPositions / kWovenPositionsPerLimitBit / 8 - kWovenTagSize;
    const uint64_t ceilingBytes = ceilingCount / kWovenElementsPerCeilingBit / 8;
    layout.capacityBytes = ceilingBytes > kWovenOverhead
                               ? std::min(ceilingBytes - kWovenOverhead, layout.limitBytes)
                               : 0;
    return layout;
}

uint64_t WovenBodyBits(uint64_t archiveLength) {
    return 8 * (archiveLength + kWovenTagSize);
}

} // namespace lumora
