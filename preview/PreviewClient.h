// SPDX-License-Identifier: GPL-2.0-or-later
// The program's side of a preview: starts the helper, hands it a picture's bytes over a
// socket, reads back the preview and makes sure the helper is gone afterwards. The helper
// is killed when it does not answer within the time given or breaks the protocol; what it
// sends is only ever copied, never decoded, by the program.
#pragma once

#include "preview/PreviewProtocol.h"

#include <string>
#include <vector>

namespace lumora::preview {

enum class HelperOutcome {
    Preview,   // a preview within the size asked for
    NoPreview, // the helper could not decode the picture
    NotRun,    // no helper, no socket, or the picture could not be read
    BadReply,  // an answer that breaks the protocol
    Ended,     // the helper ended (crashed, was killed) before it answered
    TimedOut,  // no answer in time: the helper was killed
};

struct HelperReply {
    HelperOutcome outcome = HelperOutcome::NotRun;
    ResponseHeader header;
    std::vector<uint8_t> pixels;
    // How the helper ended: its exit code, 128 + the signal that ended it, or -1 when it
    // never ran.
    int status = -1;
};

// The helper's executable: the override when set, else "lumora-preview" beside the running
// program (the build tree, a portable copy), else "../libexec/lumora/lumora-preview" from
// the program's folder (an installed copy). Empty when none is there.
std::string PreviewHelperPath();
// Tests choose the helper; an empty text restores the search above.
void SetPreviewHelperOverride(const std::string& path);

// Runs `helper` on the picture open as `pictureFd`, of which request.byteCount bytes are
// sent from its current offset. The whole exchange, the helper's start included, has
// `timeoutMs` milliseconds.
[[nodiscard]] HelperReply RunPreviewHelper(const std::string& helper, int pictureFd,
                                           const RequestHeader& request, int timeoutMs);

} // namespace lumora::preview
