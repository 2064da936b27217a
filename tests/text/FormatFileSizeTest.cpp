// SPDX-License-Identifier: GPL-2.0-or-later
#include "text/FormatFileSize.h"

#include <gtest/gtest.h>

using lumora::FormatFileSize;

TEST(FormatFileSize, UsesDecimalUnitsWithTheirBoundaries) {
    EXPECT_EQ(FormatFileSize(0), "0 Byte");
    EXPECT_EQ(FormatFileSize(1000), "1000 Byte");
    EXPECT_EQ(FormatFileSize(1001), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1000000), "1000.00 KB");
    EXPECT_EQ(FormatFileSize(1000001), "1.00 MB");
    EXPECT_EQ(FormatFileSize(1500000), "1.50 MB");
    EXPECT_EQ(FormatFileSize(1000000000), "1000.00 MB");
    EXPECT_EQ(FormatFileSize(1000000001), "1.00 GB");
}

TEST(FormatFileSize, SmallAndNegativeCountsTakeTheCallersUnitWord) {
    EXPECT_EQ(FormatFileSize(5, "Octet"), "5 Octet");
    EXPECT_EQ(FormatFileSize(-7), "-7 Byte");
}
