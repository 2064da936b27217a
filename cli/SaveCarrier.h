// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace lumora::cli {

// Refuses an existing `output` unless `replace` is set.
void RequireNewOutput(const std::string& output, bool replace);

} // namespace lumora::cli
