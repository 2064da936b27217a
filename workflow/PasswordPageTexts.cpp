// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/PasswordPageTexts.h"

#include "qtadapters/MessageFormat.h"

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
    };
    return lines;
}

QString MessageWithTwo(const QString& text, const QString& first, const QString& second) {
    // The first value is put in with its own "%" doubled, so that the second filling
    // leaves it as it is.
    QString escaped = first;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return FormatMessage(FormatMessage(text, escaped), second);
}

} // namespace lumora
