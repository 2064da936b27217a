// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/Clock.h"

#include <gtest/gtest.h>

using namespace lumora;

TEST(Clock, TicksAboveTwoToThe31ReadAsNegativeNumbers) {
    SetTickSource([] { return 0x80000005u; });
    EXPECT_EQ(TickCount(), -2147483643);
    SetTickSource([] { return 1234567u; });
    EXPECT_EQ(TickCount(), 1234567);
    SetTickSource({});
}

TEST(Clock, TheRealClockAdvancesWithASleep) {
    int32_t before = TickCount();
    SleepMilliseconds(20);
    EXPECT_GE(static_cast<int32_t>(TickCount() - before), 20);
}
