// SPDX-License-Identifier: GPL-2.0-or-later
// The checks the desktop program makes on files before they are hidden, and those that
// keep a later re-save from losing one: readable regular files, under 2 GiB, at most 100
// in all, no path twice, no two files with the same name.
#pragma once

#include "engine/FileSlot.h"

#include <string>
#include <vector>

namespace lumora::cli {

// Each file as the engine adds it: its absolute path, under its file name alone.
// `hiddenNames` are the names of the files the carrier keeps; `carrier` names it in messages.
std::vector<AddedFile> CheckFilesToHide(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& hiddenNames,
                                        const std::string& carrier);

} // namespace lumora::cli
