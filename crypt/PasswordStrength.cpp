// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PasswordStrength.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <zxcvbn.h>

namespace lumora {

double PasswordEstimate::SecondsToGuess(double guessesPerSecond) const {
    // Capped where a double still holds the count; no attacker comes near it.
    return std::exp2(std::clamp(bits - 1, 0.0, 1000.0)) / guessesPerSecond;
}

PasswordEstimate EstimatePassword(const Password& password) {
    // zxcvbn reads a C string; the copy lives in locked memory and is wiped like the
    // password. A NUL ends it there, as it ends the classic format's key.
    const size_t length = std::min(password.Size(), kEstimatedBytes);
    SecretBytes text(length + 1);
    if (length > 0)
        std::memcpy(text.Data(), password.Data(), length);
    PasswordEstimate estimate;
    estimate.bits = ZxcvbnMatch(reinterpret_cast<const char*>(text.Data()), nullptr, nullptr);
    return estimate;
}

} // namespace lumora
