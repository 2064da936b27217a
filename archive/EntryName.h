// SPDX-License-Identifier: GPL-2.0-or-later
// What an entry name may be: which names are safe to write below a folder, how they split
// into folders, which names new files may be stored under, and how a source path handed
// to CZipper becomes an entry name. "/" and "\" both separate folders when a name is read,
// since archives from other systems use either.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The name of the entry that holds the message of a payload archive.
inline constexpr const char* kMessageEntryName = "veilnote.vnt";

// True when the name can be written below a folder without leaving it: not empty, not
// absolute, no NUL, no ".." component, and at least one component besides "." ones.
bool IsSafeEntryName(std::string_view name);

// The folder and file components of a name, without empty and "." components.
std::vector<std::string> EntryNameParts(std::string_view name);

// True when a file may be added under this name: safe, in plain form (components joined
// by single "/", no "." component, no trailing "/"), without "\" (readers take it for a
// folder separator) and not the message entry's name at the top level.
bool IsAcceptableNewEntryName(std::string_view name);

// The entry name for a source path, or none when the path is refused: flatten or an
// absolute path give the file name alone; a leading "./" is dropped; other relative paths
// stay as they are, and are refused when they are not safe names.
std::optional<std::string> EntryNameForSource(const std::string& path, bool flatten);

// True when name holds bytes outside ASCII, so the entry needs the UTF-8 flag (bit 11).
bool NeedsUtf8Flag(std::string_view name);

} // namespace lumora
