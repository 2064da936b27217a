// SPDX-License-Identifier: GPL-2.0-or-later
// The password estimate: zxcvbn's bits, the time to guess at a rate, and where a password
// counts as weak for each format's attacker.
#include "crypt/PasswordStrength.h"

#include <cmath>
#include <gtest/gtest.h>

namespace lumora {
namespace {

struct StrengthCase {
    const char* password;
    bool weakAgainstClassic; // at 10^10 guesses a second
    bool weakAgainstArgon2;  // at 10^3 guesses a second
};

class PasswordStrength : public ::testing::TestWithParam<StrengthCase> {};

TEST_P(PasswordStrength, IsWeakWhereItFallsWithinAYear) {
    const PasswordEstimate estimate = EstimatePassword(Password(GetParam().password));
    EXPECT_EQ(estimate.IsWeak(kClassicGuessesPerSecond), GetParam().weakAgainstClassic)
        << estimate.bits;
    EXPECT_EQ(estimate.IsWeak(kArgon2GuessesPerSecond), GetParam().weakAgainstArgon2)
        << estimate.bits;
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, PasswordStrength,
    ::testing::Values(StrengthCase{"", true, true}, StrengthCase{"password", true, true},

                      StrengthCase{"qwertyuiop", true, true},
                      StrengthCase{"blue-river-43", true, false},

                      StrengthCase{"correct horse battery staple", false, false},
                      StrengthCase{"Tq7#vP2!xL9$mR4&wZ8^kB", false, false}));

TEST(PasswordEstimate, GuessesHalfOfTheCandidatesAtTheRate) {
    const struct {
        double bits;
        double rate;
        double seconds;
    } cases[] = {{0, 1, 1}, {1, 1, 1}, {11, 1e3, 1.024}, {41, 1e10, 109.9511627776}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(PasswordEstimate{c.bits}.SecondsToGuess(c.rate), c.seconds) << c.bits;
    EXPECT_TRUE(std::isfinite(PasswordEstimate{5000}.SecondsToGuess(1)));
}

} // namespace
} // namespace lumora
