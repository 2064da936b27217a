// SPDX-License-Identifier: GPL-2.0-or-later
// The one way text from a carrier or the file system (names, the hidden message, errors,
// lists of written files) reaches a terminal. A terminal acts on control characters: a
// name holding ESC could recolour it, one holding a newline could fake a line of output.
// On a terminal such text is therefore shown, never obeyed: bytes that are not UTF-8 are
// read as Windows-1252 (ShowableText) and control characters are written as escapes, as
// ls and git do. Piped or redirected output gets the text unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::cli {

enum class Stream { Out, Err };

// Whether the stream is a terminal (asked once).
bool IsTerminal(Stream stream);

enum class TextKind {
    // A file or entry name: when it holds a control character it is shown in double
    // quotes with C escapes (\n, \t, \x1b, \u009b; \\ and \" inside the quotes).
    Name,
    // A line of its own (an error, a note): control characters escaped, no quotes.
    Line,
    // The hidden message: as Line, but TAB, LF and CR are kept.
    Message,
};

// What a terminal gets for `text`.
std::string ForTerminal(std::string_view text, TextKind kind);

// ForTerminal for a piece of a longer text of kind Line or Message, cut between
// characters: `utf8` tells whether the whole text is UTF-8, which decides how every piece
// is read.
std::string PieceForTerminal(std::string_view piece, TextKind kind, bool utf8);

// ForTerminal when `stream` is a terminal, else `text` unchanged.
std::string Shown(std::string_view text, TextKind kind, Stream stream);

// A byte count as lumora-cli shows it: "1 byte", "8 bytes", "3.00 KB".
std::string SizeText(int64_t bytes);

} // namespace lumora::cli
