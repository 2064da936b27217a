// SPDX-License-Identifier: GPL-2.0-or-later
// File helpers shared by CZipper and CUnzipper. None throws; each says what it returns
// (FileCrc32 follows the 0 / -1 convention of a system call, the others give 1 or 0).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumora {

// 1 when path is a folder or was created with all missing parents; 0 for an empty path,
// an existing file, or a failed creation.
[[nodiscard]] int EnsureFolder(const std::string& path);
// EnsureFolder of filePath cut at its last "/"; 0 when it has none.
[[nodiscard]] int EnsureParentFolder(const std::string& filePath);
// Sets the modification time of path from a DOS date and time read as local time; a
// value that is no valid date (such as 0) fails and leaves the times untouched.
[[nodiscard]] int ApplyEntryTime(const std::string& path, uint32_t dosDateTime);
// The time a DOS date and time name, read as local time, in seconds since 1970; none
// for a value that is no valid date (such as 0, which stands for no date).
std::optional<int64_t> TimeOfDosDate(uint32_t dosDateTime);
// CRC-32 of the whole file read in 16384-byte blocks; 0 on success, -1 on failure.
[[nodiscard]] int FileCrc32(const std::string& path, uint32_t& crc);

} // namespace lumora
