// SPDX-License-Identifier: GPL-2.0-or-later
// The messages of the hide wizard's password page beyond its controls' captions: what a
// picture can carry woven, and how long the password takes to guess.
#pragma once

#include "workflow/ReasonTexts.h"

#include <QString>
#include <QStringList>

namespace lumora {

// The built-in texts, as "key=text" lines of a string list.
const QStringList& PasswordPageMessages();

// A time to guess in words: "about 3 hours", "centuries".
QString GuessTimeText(double seconds, const MessageLookup& message);

// A message of two values: its first "%s" filled with first, the next with second.
QString MessageWithTwo(const QString& text, const QString& first, const QString& second);

} // namespace lumora
