// SPDX-License-Identifier: GPL-2.0-or-later
// The hidden message on standard output, written straight from the carrier's copy of it:
// a message may be tens of megabytes, and lumora-cli holds it once.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace lumora::cli {

inline constexpr size_t kMessagePieceSize = 64 * 1024;

// Writes a message held in its stored form (CR LF line breaks) with LF line breaks. For a
// terminal it goes through PieceForTerminal and ends with a line break, so the prompt
// does not follow it; otherwise the bytes are the message exactly. The text is converted
// in pieces of about pieceSize bytes. False when out could not be written.
bool WriteMessage(std::FILE* out, const std::string& stored, bool terminal,
                  size_t pieceSize = kMessagePieceSize);

} // namespace lumora::cli
