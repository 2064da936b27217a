// SPDX-License-Identifier: GPL-2.0-or-later
// Where hidden files go below a folder. Entry names may repeat (carriers from other
// writers, or "a/x.txt" beside "a\x.txt"); a later file of a name already taken goes to
// "x (2).txt", "x (3).txt" and so on, so writing them out loses none.
#pragma once

#include <string>
#include <vector>

namespace lumora {

// The relative path below the folder for each of `entryNames`, in the same order, with
// "/" between folders; an unsafe name gives an empty path.
std::vector<std::string> UniqueOutputNames(const std::vector<std::string>& entryNames);

// The last part of an entry name, without its folders: where a program that saves chosen
// files side by side into one folder puts it. Empty for a name that cannot be written out.
std::string OwnOutputName(const std::string& entryName);

} // namespace lumora
