// SPDX-License-Identifier: GPL-2.0-or-later
// The file behind the message entry "veilnote.vnt". The message is held with CR LF line
// breaks; the entry stores it as a text-mode write would on the system the format comes
// from: an extra CR before every LF, then one NUL. Reading undoes both.
#pragma once

#include <cstdint>
#include <string>

namespace lumora {

// The message is held in memory whole, so its entry is bounded: a larger one is refused
// as damaged when read and a larger message is refused when saved.
inline constexpr int64_t kMaxMessageEntrySize = int64_t{64} << 20;

// Bytes of the entry that stores message: an extra CR per LF and the closing NUL.
int64_t MessageEntrySize(const std::string& message);

// False when the file cannot be written completely (errno set).
bool WriteMessageEntry(const std::string& path, const std::string& message);

// CR LF becomes LF and the text ends at the first NUL or at the end of the file; a lone
// CR stays. False when the file cannot be read (errno set).
bool ReadMessageEntry(const std::string& path, std::string& message);

} // namespace lumora
