// SPDX-License-Identifier: GPL-2.0-or-later
// The end of the hide and re-save sequences, shared by hide and edit.
#pragma once

#include "cli/FilesToHide.h"
#include "engine/BindImage.h"

#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

// Gives the engine what the save writes (the message, the kept hidden files of the opened
// carrier, `files` to add) and saves to `destination`. A file that finds no free slot
// fails the save instead of being left out.
void SaveContent(CBindImage& engine, const std::optional<std::string>& message,
                 const std::vector<int>& keptSlots, const std::vector<FileToHide>& files,
                 const std::string& destination);

// Refuses an existing `output` unless `replace` is set.
void RequireNewOutput(const std::string& output, bool replace);

} // namespace lumora::cli
