// SPDX-License-Identifier: GPL-2.0-or-later
// The checks the desktop program makes on files before they are hidden, and those that
// keep a later re-save from losing one: readable regular files, under 2 GiB, at most 100
// in all, no path twice, no two files with the same name.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

struct FileToHide {
    std::string argument; // as the user wrote it, for messages
    std::string path;     // absolute path, handed to the engine
    std::string name;     // the entry name it will get: the file name alone
};

// `hiddenNames` are the names of the files the carrier keeps; `carrier` names it in messages.
std::vector<FileToHide> CheckFilesToHide(const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& hiddenNames,
                                         const std::string& carrier);

} // namespace lumora::cli
