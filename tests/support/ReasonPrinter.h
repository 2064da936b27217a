// SPDX-License-Identifier: GPL-2.0-or-later
// Lets GoogleTest show a reason by its name where a check fails.
#pragma once

#include "engine/Reason.h"

#include <ostream>

namespace lumora {

void PrintTo(Reason reason, std::ostream* out);

} // namespace lumora
