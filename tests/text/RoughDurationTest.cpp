// SPDX-License-Identifier: GPL-2.0-or-later
#include "text/RoughDuration.h"

#include <gtest/gtest.h>
#include <limits>

namespace lumora {
namespace {

constexpr double kYear = 365.25 * 24 * 3600;

struct DurationCase {
    double seconds;
    DurationUnit unit;
    int64_t count;
};

class RoundDurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(RoundDurationTest, TakesTheLargestUnitThatFitsRoundedDown) {
    const RoughDuration span = RoundDuration(GetParam().seconds);
    EXPECT_EQ(span.unit, GetParam().unit);
    EXPECT_EQ(span.count, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, RoundDurationTest,
    ::testing::Values(
        DurationCase{std::numeric_limits<double>::quiet_NaN(), DurationUnit::UnderASecond, 0},
        DurationCase{-5, DurationUnit::UnderASecond, 0},
        DurationCase{0.999, DurationUnit::UnderASecond, 0},
        DurationCase{1, DurationUnit::Seconds, 1}, DurationCase{59.9, DurationUnit::Seconds, 59},
        DurationCase{60, DurationUnit::Minutes, 1}, DurationCase{3599, DurationUnit::Minutes, 59},
        DurationCase{7200, DurationUnit::Hours, 2}, DurationCase{86399, DurationUnit::Hours, 23},
        DurationCase{86400 * 3 + 5, DurationUnit::Days, 3},
        DurationCase{kYear / 12, DurationUnit::Months, 1},
        DurationCase{kYear - 1, DurationUnit::Months, 11},
        DurationCase{kYear, DurationUnit::Years, 1},
        DurationCase{100 * kYear - 1, DurationUnit::Years, 99},
        DurationCase{100 * kYear, DurationUnit::Centuries, 0},
        DurationCase{std::numeric_limits<double>::infinity(), DurationUnit::Centuries, 0}));

} // namespace
} // namespace lumora
