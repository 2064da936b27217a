// SPDX-License-Identifier: GPL-2.0-or-later
// A time span in the largest unit that fits it, as both programs tell how long a password
// takes to guess: "about 3 hours", "centuries". Each program words the units itself.
#pragma once

#include <cstdint>

namespace lumora {

enum class DurationUnit { UnderASecond, Seconds, Minutes, Hours, Days, Months, Years, Centuries };

struct RoughDuration {
    DurationUnit unit = DurationUnit::UnderASecond;
    // Whole units, rounded down; 0 for UnderASecond and Centuries, which take no count.
    int64_t count = 0;
};

// seconds in the largest unit of which it holds at least one (a month is a twelfth of a
// year of 365.25 days); a hundred years or more are centuries.
RoughDuration RoundDuration(double seconds);

} // namespace lumora
