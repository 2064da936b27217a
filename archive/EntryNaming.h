// SPDX-License-Identifier: GPL-2.0-or-later
// How a source path handed to CZipper becomes an entry name.
#pragma once

#include <optional>
#include <string>

namespace lumora {

// The entry name for path, or none when the path is refused: flatten or an absolute
// path give the file name alone; a leading "./" is dropped; other relative paths stay as
// they are, and are refused when they climb out with a ".." component.
std::optional<std::string> EntryNameForSource(const std::string& path, bool flatten);

// True when name holds bytes outside ASCII, so the entry needs the UTF-8 flag (bit 11).
bool NeedsUtf8Flag(const std::string& name);

} // namespace lumora
