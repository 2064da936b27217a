// SPDX-License-Identifier: GPL-2.0-or-later
// What lumora-cli says of a new password (hide, passwd, a conversion with edit): a
// warning on stderr, also with -q, when it can be guessed within a year at the rate an
// attacker reaches against the format's key, naming the stronger format where the
// classic one was chosen; and the estimate for --json.
#pragma once

#include "crypt/PasswordStrength.h"
#include "engine/SealedCarrier.h"

#include <string>

namespace lumora::cli {

// The guesses a second an attacker reaches against the key of `format`.
double GuessRateOf(CarrierFormat format);

// "3 hours", "about 12 days", "centuries": the time to guess, in the largest unit.
std::string GuessTime(double seconds);

// The warning for a password of `estimate` protecting a carrier of `format`; empty when
// the password is strong enough for it.
std::string WeakPasswordWarning(const PasswordEstimate& estimate, CarrierFormat format);

// Estimates `password` for `format`, warns when it is weak, and returns the JSON object
// of the estimate ({"bits", "guessesPerSecond", "secondsToGuess", "weak"}).
std::string CheckNewPassword(const Password& password, CarrierFormat format);

} // namespace lumora::cli
