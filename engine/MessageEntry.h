// SPDX-License-Identifier: GPL-2.0-or-later
// The file behind the message entry "veilnote.vnt". The message is held with CR LF line
// breaks; the entry stores it as a text-mode write would on the system the format comes
// from: an extra CR before every LF, then one NUL. Reading undoes both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// The message is held in memory whole, so its entry is bounded: a larger one is refused
// as damaged when read and a larger message is refused when saved.
inline constexpr int64_t kMaxMessageEntrySize = int64_t{64} << 20;

// Bytes of the entry that stores message: an extra CR per LF and the closing NUL.
int64_t MessageEntrySize(const std::string& message);

// The entry's bytes for message.
std::string EncodeMessageEntry(const std::string& message);

// The message held by the entry's bytes: the text ends at the first NUL or at the end,
// and CR LF becomes LF (a lone CR stays).
std::string DecodeMessageEntry(std::string_view entry);

} // namespace lumora
