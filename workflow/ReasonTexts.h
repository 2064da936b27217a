// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's words for the reasons of engine/Reason.h: the key of the frame's
// message that tells each one. For now a reason borrows the existing message that tells
// it; one that no message tells better gets the general message of the operation that
// failed (a save's, an opening's). A "%s" in the message is filled with the subject.
#pragma once

#include "engine/Reason.h"

namespace lumora {

// The general messages of a failed save and of a file that failed to open.
inline constexpr const char* kSaveFailedKey = "strSaveError";
inline constexpr const char* kOpenFailedKey = "strDataError";

const char* ReasonKey(Reason reason, const char* general);

} // namespace lumora
