// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/NearMissPassword.h"

#include "support/Sessions.h"

namespace lumora::test {

std::string NearMissPassword(const std::string& carrier, const std::string& right) {
    // One guess in 256 passes a check byte.
    for (int i = 0; i < 5000; ++i) {
        std::string guess = right.substr(0, 32) + "-" + std::to_string(i);
        std::unique_ptr<UnlockedCarrier> unlocked;
        if (guess != right && UnlockAt(carrier, guess, unlocked, ProofTiming::AtFirstRead).Ok())
            return guess;
    }
    return {};
}

} // namespace lumora::test
