// SPDX-License-Identifier: GPL-2.0-or-later
// The message a command is given: -m TEXT, --message-file FILE ("-" reads stdin) or -e,
// which opens the user's editor. The engine keeps the message with CR LF line breaks, as
// it is stored in carriers; on the command line messages use LF, like the desktop
// program's memo.
#pragma once

#include <optional>
#include <string>

namespace lumora::cli {

class Arguments;

// True when the options give a message (-m, --message-file or -e); a usage error when
// they give more than one.
bool GivesMessage(const Arguments& args);

// The message the options give, in stored form; none when they give none or -e left
// `current` (stored form; null for no message) as it was. An empty message stands for no
// message. Throws for unreadable files, a message too large and a failed editor; a NUL
// byte is refused by the save.
std::optional<std::string> MessageFromOptions(const Arguments& args, const std::string* current);

// Opens the editor ($VISUAL, else $EDITOR, else editor, else vi, run through /bin/sh as
// git does) on `text` in a private working folder and gives back what was saved, with one
// final line break dropped (editors add one).
std::string EditInEditor(const std::string& text);

} // namespace lumora::cli
