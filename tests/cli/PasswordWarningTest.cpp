// SPDX-License-Identifier: GPL-2.0-or-later
// How lumora-cli words a weak new password: the time to guess it, and which format's
// attacker it is told against.
#include "cli/PasswordWarning.h"

#include <gtest/gtest.h>

namespace lumora::cli {
namespace {

TEST(GuessTime, TellsTheLargestWholeUnit) {
    const std::pair<double, std::string> cases[] = {
        {0.2, "less than a second"},
        {1, "about 1 second"},
        {59, "about 59 seconds"},
        {3 * 3600 + 5, "about 3 hours"},
        {86400, "about 1 day"},
        {kWeakBelowSeconds / 12 * 5, "about 5 months"},
        {kWeakBelowSeconds * 40, "about 40 years"},
        {kWeakBelowSeconds * 1e6, "centuries"},
    };
    for (const auto& [seconds, told] : cases)
        EXPECT_EQ(GuessTime(seconds), told) << seconds;
}

TEST(WeakPasswordWarning, NamesTheSealedFormatOnlyForClassicCarriers) {
    const struct {
        double bits;
        CarrierFormat format;
        std::string contains; // empty: no warning
    } cases[] = {
        {20, CarrierFormat::Classic, "(--sealed) would take about 8 minutes"},
        {45, CarrierFormat::Classic, "can be guessed in about 29 minutes by a graphics card"},
        {45, CarrierFormat::Sealed, ""},
        {30, CarrierFormat::Sealed, "about 6 days by a thousand computers"},
        {70, CarrierFormat::Classic, ""},
    };
    for (const auto& c : cases) {
        const std::string warning = WeakPasswordWarning(PasswordEstimate{c.bits}, c.format);
        if (c.contains.empty())
            EXPECT_EQ(warning, "") << c.bits;
        else
            EXPECT_NE(warning.find(c.contains), std::string::npos) << warning;
        EXPECT_EQ(warning.find("--sealed") != std::string::npos,
                  !warning.empty() && c.format == CarrierFormat::Classic)
            << warning;
    }
}

} // namespace
} // namespace lumora::cli
