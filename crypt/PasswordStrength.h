// SPDX-License-Identifier: GPL-2.0-or-later
// How hard a new password is to guess: zxcvbn's estimate in bits, and the time an
// attacker who tries passwords at a given rate needs for half of the 2^bits candidates.
// Used to warn, never to refuse.
#pragma once

#include "crypt/SecretBytes.h"

namespace lumora {

// Guesses a second against the classic format's SHA-256 key: a graphics card.
inline constexpr double kClassicGuessesPerSecond = 1e10;
// Guesses a second against the Argon2id key of the sealed and woven formats: a thousand
// cores.
inline constexpr double kArgon2GuessesPerSecond = 1e3;
// A password that takes less than this to guess is weak.
inline constexpr double kWeakBelowSeconds = 365.25 * 24 * 3600;
// Only this many bytes of a password are looked at: the estimate's cost grows fast with
// the length, and a longer password is not weaker than its start.
inline constexpr size_t kEstimatedBytes = 256;

struct PasswordEstimate {
    double bits = 0;
    // Seconds to find it at guessesPerSecond: 2^(bits - 1) guesses, half of the candidates.
    double SecondsToGuess(double guessesPerSecond) const;
    bool IsWeak(double guessesPerSecond) const {
        return SecondsToGuess(guessesPerSecond) < kWeakBelowSeconds;
    }
};

PasswordEstimate EstimatePassword(const Password& password);

} // namespace lumora
