// SPDX-License-Identifier: GPL-2.0-or-later
// The files a command line asks to hide, checked so that a later re-save loses none:
// readable regular files, no file twice, no two files under one name. The engine's own
// rules (sizes, names, at most 100 files) are the save's to refuse. A folder stands for
// the regular files below it, hidden under names that start with the folder's own name
// ("docs/sub/b.txt"); links inside it are not followed, and FIFOs, sockets and devices
// are skipped with a note. A link named on the command line is followed.
#pragma once

#include "engine/FileSlot.h"

#include <string>
#include <vector>

namespace lumora::cli {

// Each file as the engine adds it: its absolute path and the name it is hidden under.
// `hiddenNames` are the names of the files the carrier keeps; `carrier` names it in messages.
std::vector<AddedFile> CheckFilesToHide(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& hiddenNames,
                                        const std::string& carrier);

} // namespace lumora::cli
