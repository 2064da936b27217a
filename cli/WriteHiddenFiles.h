// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "cli/Carrier.h"

#include <string>
#include <vector>

namespace lumora::cli {

// Writes `files` of an unlocked carrier below `folder`, creating it when missing. Every
// name and, without `replace`, every target is checked before the first file is written.
void WriteHiddenFiles(CBindImage& engine, const std::vector<HiddenFile>& files,
                      const std::string& folder, bool replace);

} // namespace lumora::cli
