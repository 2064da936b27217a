// SPDX-License-Identifier: GPL-2.0-or-later
// Every save and every load of the desktop program runs under a handler: whatever it throws
// is told as a failure with its reason, never by the application's last-resort text.
#pragma once

#include "engine/Outcome.h"

#include <exception>

namespace lumora {

// The status of an operation that threw, where failed is ReadFailed (a load) or
// WriteFailed (a save): NoMemory for an allocation that failed; for a system error failed
// with its errno (a full disk as DiskFull when writing) and the path of a file system error
// as the subject; failed without more for anything else.
Status StatusOfThrown(const std::exception_ptr& thrown, Reason failed);

} // namespace lumora
