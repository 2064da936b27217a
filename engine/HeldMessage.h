// SPDX-License-Identifier: GPL-2.0-or-later
// The message of an opened carrier as the engine holds it, and what became of its entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumora {

// What became of the carrier's message entry when the payload archive was read.
enum class MessageState {
    None,     // no message entry, or an empty one
    Present,  // read and checked
    TooLarge, // larger than the programs hold in memory; the entry is kept unread
    Damaged,  // its data fails its checks
};

struct HeldMessage {
    // The message in its stored form (CR LF line breaks); none when there is none. What
    // the next save writes, once replaced.
    std::optional<std::string> text;
    MessageState state = MessageState::None;
    int entry = -1;        // position of the message entry in the opened archive, -1: none
    int64_t entrySize = 0; // the entry's size when extracted
    // Read to be compared with an expected message (CBindImage::CompareMessageWith) rather
    // than held: whether it was that message. `text` stays none.
    bool matchedExpected = false;
};

} // namespace lumora
