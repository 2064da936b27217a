// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "archive/EntryCheck.h"
#include "engine/Outcome.h"

#include <string>

namespace lumora {

// What a check of the archive entry `name` found, as the engine reports it. A failed
// write names the entry; a caller that knows the file written names that instead.
Status EntryStatus(EntryCheck check, const std::string& name);

} // namespace lumora
