// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "engine/UnlockedCarrier.h"

#include <string>
#include <vector>

namespace lumora::cli {

// Writes `entries` of an unlocked carrier below `folder`, creating it when missing
// (engine/FolderExtraction.h). Every name and, without `replace`, every target is checked
// before the first file is written. A second file of a name already written goes to
// "x (2).txt", and stderr says so. Each file written is listed on stderr (not with -q).
// With skipDamaged, a damaged file is left out (marked in carrier's entries) and the
// others are written. Returns the JSON objects {"name", "path"} of the files written.
std::vector<std::string> WriteHiddenFiles(UnlockedCarrier& carrier,
                                          const std::vector<HiddenEntry>& entries,
                                          const std::string& folder, bool replace,
                                          bool skipDamaged = false);

} // namespace lumora::cli
