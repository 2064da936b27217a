// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/MessageOutput.h"

#include "cli/TerminalText.h"
#include "engine/MessageForm.h"

#include <algorithm>
#include <string_view>

namespace lumora::cli {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

bool WriteMessage(std::FILE* out, const std::string& stored, bool terminal, size_t pieceSize) {
    // Whether the text is UTF-8 is decided for the whole, never for a piece.
    const bool utf8 = !terminal || IsValidUtf8(stored);
    bool written = true;
    char last = '\n';
    StoredFormReader reader([&](std::string_view piece) {
        if (terminal) {
            const std::string shown = PieceForTerminal(piece, TextKind::Message, utf8);
            written = written && std::fwrite(shown.data(), 1, shown.size(), out) == shown.size();
        } else {
            written = written && std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
        }
        last = piece.back();
    });
    const size_t step = std::max<size_t>(pieceSize, 4);
    for (size_t at = 0; at < stored.size();) {
        size_t end = std::min(at + step, stored.size());
        // A piece of UTF-8 text on a terminal ends between characters.
        while (terminal && utf8 && end < stored.size() && end > at + 1 &&
               IsContinuationByte(stored[end]))
            --end;
        reader.Feed(std::string_view(stored).substr(at, end - at));
        at = end;
    }
    reader.Finish();
    if (terminal && last != '\n')
        written = written && std::fputc('\n', out) != EOF;
    return written;
}

} // namespace lumora::cli
