// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/PasswordWarning.h"

#include "cli/Json.h"
#include "cli/Report.h"
#include "text/RoughDuration.h"

#include <cmath>
#include <cstdio>

namespace lumora::cli {
namespace {

// A number as JSON: whole numbers as such, others with three significant digits.
std::string JsonNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

} // namespace

double GuessRateOf(CarrierFormat format) {
    return format == CarrierFormat::Classic ? kClassicGuessesPerSecond : kArgon2GuessesPerSecond;
}

std::string GuessTime(double seconds) {
    const RoughDuration span = RoundDuration(seconds);
    const char* const names[] = {"", "seconds", "minutes", "hours", "days", "months", "years"};
    switch (span.unit) {
    case DurationUnit::UnderASecond:
        return "less than a second";
    case DurationUnit::Centuries:
        return "centuries";
    default:
        break;
    }
    std::string unit = names[static_cast<int>(span.unit)];
    if (span.count == 1)
        unit.pop_back();
    return "about " + std::to_string(span.count) + " " + unit;
}

std::string WeakPasswordWarning(const PasswordEstimate& estimate, CarrierFormat format) {
    const double rate = GuessRateOf(format);
    if (!estimate.IsWeak(rate))
        return {};
    const std::string guessed =
        "this password can be guessed in " + GuessTime(estimate.SecondsToGuess(rate));
    if (format == CarrierFormat::Classic) {
        const std::string sealed = GuessTime(estimate.SecondsToGuess(kArgon2GuessesPerSecond));
        return guessed +
               " by a graphics card against the classic format; the sealed format "
               "(--sealed) would take " +
               sealed + ", and a longer password is safer still";
    }
    return guessed + " by a thousand computers against the key of this format; a longer "
                     "password is safer";
}

std::string CheckNewPassword(const Password& password, CarrierFormat format) {
    const PasswordEstimate estimate = EstimatePassword(password);
    const std::string warning = WeakPasswordWarning(estimate, format);
    if (!warning.empty())
        Warn("warning: " + warning);
    const double rate = GuessRateOf(format);
    return JsonObject()
        .Raw("bits", JsonNumber(std::round(estimate.bits * 10) / 10))
        .Raw("guessesPerSecond", JsonNumber(rate))
        .Raw("secondsToGuess", JsonNumber(estimate.SecondsToGuess(rate)))
        .Bool("weak", !warning.empty())
        .Text();
}

} // namespace lumora::cli
