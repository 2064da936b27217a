// SPDX-License-Identifier: GPL-2.0-or-later
// Writing hidden files out below one folder, for both programs. The folders below it are
// reached one name at a time and never through a link, so nothing is written outside it;
// the files are written side by side on the worker threads and put in place in order.
#pragma once

#include "engine/HiddenEntry.h"
#include "engine/Outcome.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lumora {

class UnlockedCarrier;

// Files written out of a carrier are private: a new file gets 0600 and a new folder 0700,
// less the umask, whatever the hidden file's mode was.
inline constexpr mode_t kHiddenFileMode = 0600;
inline constexpr mode_t kHiddenFolderMode = 0700;

// Gives the file open as fd the modification time a carrier kept for it (none: left as
// it is). Best effort: a file system that refuses it keeps the time of writing.
void RestoreModifiedTime(int fd, const std::optional<int64_t>& modifiedTime);

// The modification times the carrier keeps for `entries` (by index), in their order.
std::vector<std::optional<int64_t>> ModifiedTimesOf(const UnlockedCarrier& carrier,
                                                    const std::vector<int>& entries);

struct FolderOutput {
    std::string folder;               // made, with its parents, when missing
    std::vector<int> entries;         // by index
    std::vector<std::string> targets; // one per entry: its path below the folder, "/" between
                                      // folders (engine/OutputNames.h)
    // false: when any target exists already, DestinationExists before anything is written.
    bool replace = false;
    // A damaged entry is left out and the others written (UnlockedCarrier::OnDamage::Skip).
    bool skipDamaged = false;
    // Asked as each file is begun; true ends the batch as Cancelled.
    std::function<bool()> stopped;
    // Hears of each file once it is in place, in order: its position and path.
    std::function<void(size_t position, const std::string& path)> placed;
};

// Where entries go below a folder by their whole names, folders included, a later one of
// a name already taken numbered "x (2).txt" (UniqueOutputNames). NameNotWritable (subject:
// the name) for the first entry whose name cannot be written out.
[[nodiscard]] Status TargetsByName(const std::vector<HiddenEntry>& entries,
                                   std::vector<std::string>& targets);

// Whether anything, a link included, is at target below folder, looked for without
// following a link on the way.
bool ExistsBelow(const std::string& folder, const std::string& target);

// Writes output.entries of carrier to their targets below output.folder, private
// (kHiddenFileMode, kHiddenFolderMode) and with the times the carrier keeps. A file's
// folders are made only in its turn. The first failure stops the rest, with the files before it in
// place: DestinationIsLink or NotAFolder (subject: the path) for a folder on the way that
// is a link or no folder, DestinationExists, WriteFailed, DiskFull, Cancelled, and the
// failures of UnlockedCarrier::ExtractEntries. With skipDamaged, the damage of the first
// entry left out when every other one was written.
[[nodiscard]] Status ExtractToFolder(UnlockedCarrier& carrier, const FolderOutput& output);

} // namespace lumora
