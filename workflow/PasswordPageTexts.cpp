// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/PasswordPageTexts.h"

#include "qtadapters/MessageFormat.h"
#include "text/RoughDuration.h"

namespace lumora {

const QStringList& PasswordPageMessages() {
    static const QStringList lines{
        QStringLiteral("strWovenMeasuring=Measuring how much the picture can carry woven..."),
        QStringLiteral("strWovenRoom=The content takes up to %s of about %s the picture can "
                       "carry woven."),
        QStringLiteral("strWovenOverRoom=The content takes up to %s, but the picture can carry "
                       "only about %s woven without its changes becoming easier to detect. "
                       "Please choose fewer files, a larger picture or another format, or tick "
                       "\"Hide anyway\"."),
        QStringLiteral("strWovenOverLimit=The content takes up to %s, but the picture can carry "
                       "at most %s woven. Please choose fewer files, a larger picture or another "
                       "format."),
        QStringLiteral("strWovenSaveNote=This image carries its hidden data woven into the "
                       "picture. Each save weaves it in again and adds changes to the picture; "
                       "hiding again into the original picture gives the cleanest result."),
        QStringLiteral("strStrength1=Very weak"),
        QStringLiteral("strStrength2=Weak"),
        QStringLiteral("strStrength3=Good"),
        QStringLiteral("strStrength4=Strong"),
        QStringLiteral("strGuessTime=Time to guess it in this format: %s"),
        QStringLiteral("strWeakForClassic=A graphics card guesses it quickly in the classic "
                       "format; sealed or woven would take %s."),
        QStringLiteral("strTimeInstant=less than a second"),
        QStringLiteral("strTimeCenturies=centuries"),
        QStringLiteral("strTimeAbout=about %s"),
        QStringLiteral("strTimeSecond=second"),
        QStringLiteral("strTimeSeconds=seconds"),
        QStringLiteral("strTimeMinute=minute"),
        QStringLiteral("strTimeMinutes=minutes"),
        QStringLiteral("strTimeHour=hour"),
        QStringLiteral("strTimeHours=hours"),
        QStringLiteral("strTimeDay=day"),
        QStringLiteral("strTimeDays=days"),
        QStringLiteral("strTimeMonth=month"),
        QStringLiteral("strTimeMonths=months"),
        QStringLiteral("strTimeYear=year"),
        QStringLiteral("strTimeYears=years"),
    };
    return lines;
}

QString GuessTimeText(double seconds, const MessageLookup& message) {
    // The keys of each counted unit, one and several.
    static const char* const units[][2] = {
        {"strTimeSecond", "strTimeSeconds"}, {"strTimeMinute", "strTimeMinutes"},
        {"strTimeHour", "strTimeHours"},     {"strTimeDay", "strTimeDays"},
        {"strTimeMonth", "strTimeMonths"},   {"strTimeYear", "strTimeYears"},
    };
    const RoughDuration span = RoundDuration(seconds);
    switch (span.unit) {
    case DurationUnit::UnderASecond:
        return message("strTimeInstant");
    case DurationUnit::Centuries:
        return message("strTimeCenturies");
    default:
        break;
    }
    const auto unit = static_cast<size_t>(span.unit) - static_cast<size_t>(DurationUnit::Seconds);
    const QString word = message(units[unit][span.count == 1 ? 0 : 1]);
    return FormatMessage(message("strTimeAbout"),
                         QString::number(span.count) + QLatin1Char(' ') + word);
}

QString MessageWithTwo(const QString& text, const QString& first, const QString& second) {
    // The first value is put in with its own "%" doubled, so that the second filling
    // leaves it as it is.
    QString escaped = first;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return FormatMessage(FormatMessage(text, escaped), second);
}

} // namespace lumora
