// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's words for the reasons of engine/Reason.h. Every reason has a
// message of its own in the frame's language component; a failure's box puts the general
// message of the operation that failed (a save's, an opening's) on the first line and the
// reason's, filled with the status's values, on the second.
#pragma once

#include "engine/Outcome.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace lumora {

// The general messages of a failed save and of a file that failed to open.
inline constexpr const char* kSaveFailedKey = "strSaveError";
inline constexpr const char* kOpenFailedKey = "strDataError";

// The messages by key, from the frame's language component.
using MessageLookup = std::function<QString(const char* key)>;

// The key of the message that tells reason; no two reasons share one.
const char* ReasonKey(Reason reason);

// The built-in texts of every reason's message, as "key=text" lines of a string list.
const QStringList& ReasonMessages();

// The reason's message with its "%s" filled: with the subject, or for a bound passed with
// the bound as a size. A subject that is missing is left out together with the ": " before
// it. The system's text for the status's errno follows in brackets.
QString ReasonLine(const Status& status, const MessageLookup& message);

// The text of the box that tells a failed save: the general message of a save, then the
// reason's line.
QString SaveFailureText(const Status& status, const MessageLookup& message);
// The same for a file that could not be opened, under the general message of a load. A
// wrong password and a file without data are told by the reason's line alone, which says
// all there is.
QString OpenFailureText(const Status& status, const MessageLookup& message);

} // namespace lumora
