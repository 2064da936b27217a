// SPDX-License-Identifier: GPL-2.0-or-later
#include "text/RoughDuration.h"

#include <cmath>
#include <utility>

namespace lumora {

RoughDuration RoundDuration(double seconds) {
    constexpr double kYear = 365.25 * 24 * 3600;
    if (std::isnan(seconds) || seconds < 1)
        return {};
    if (seconds >= 100 * kYear)
        return {DurationUnit::Centuries, 0};
    const std::pair<double, DurationUnit> units[] = {
        {kYear, DurationUnit::Years}, {kYear / 12, DurationUnit::Months},
        {86400, DurationUnit::Days},  {3600, DurationUnit::Hours},
        {60, DurationUnit::Minutes},  {1, DurationUnit::Seconds},
    };
    for (const auto& [size, unit] : units) {
        if (seconds >= size)
            return {unit, static_cast<int64_t>(seconds / size)};
    }
    return {};
}

} // namespace lumora
