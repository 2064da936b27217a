// SPDX-License-Identifier: GPL-2.0-or-later
// Which hidden files a NAME of extract and edit --remove stands for.
#pragma once

#include "engine/HiddenEntry.h"

#include <string>
#include <vector>

namespace lumora::cli {

struct NamedEntries {
    std::vector<HiddenEntry> entries; // in the carrier's order
    bool exact = false;               // NAME is the whole name of each of them
};

// The entries NAME stands for, tried in this order: those named exactly NAME; those below
// the folder NAME (with or without its closing "/"); those whose names match NAME as a
// shell pattern, where "*" and "?" also match "/". None when nothing matches.
NamedEntries EntriesNamed(const std::vector<HiddenEntry>& entries, const std::string& name);

} // namespace lumora::cli
