// SPDX-License-Identifier: GPL-2.0-or-later
// Every save of the desktop program runs under one handler: whatever it throws is told as a
// failed save with its reason, never by the application's last-resort text.
#pragma once

#include "engine/Outcome.h"

#include <exception>

namespace lumora {

// The status of a save that threw: NoMemory for an allocation that failed; for a system
// error its errno, as WriteFailed or DiskFull, with the path of a file system error as the
// subject; WriteFailed without more for anything else.
Status StatusOfSaveException(const std::exception_ptr& thrown);

} // namespace lumora
