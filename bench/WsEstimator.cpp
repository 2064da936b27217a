// SPDX-License-Identifier: GPL-2.0-or-later
#include "WsEstimator.h"

namespace lumora::bench {

double WsPayload(const uint8_t* plane, size_t width, size_t height, size_t rowStride, size_t step) {
    const auto at = [&](size_t x, size_t y) {
        return static_cast<double>(plane[y * rowStride + x * step]);
    };
    double weighted = 0, weights = 0;
    for (size_t y = 1; y + 1 < height; ++y) {
        for (size_t x = 1; x + 1 < width; ++x) {
            const double around[4] = {at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)};
            const double mean = (around[0] + around[1] + around[2] + around[3]) / 4;
            double variance = 0;
            for (const double value : around)
                variance += (value - mean) * (value - mean);
            variance /= 4;
            // Flat neighbourhoods predict best and weigh most.
            const double weight = 1 / (5 + variance);
            const double s = at(x, y);
            const double flipped = (static_cast<int>(s) & 1) != 0 ? s - 1 : s + 1;
            weighted += weight * (s - flipped) * (s - mean);
            weights += weight;
        }
    }
    return weights > 0 ? 2 * weighted / weights : 0;
}

} // namespace lumora::bench
