// SPDX-License-Identifier: GPL-2.0-or-later
// The engine keeps the message with CR LF line breaks, as it is stored in carriers; on the
// command line messages use LF, like the desktop program's memo.
#pragma once

#include <optional>
#include <string>

namespace lumora::cli {

// The message given by -m TEXT or --message-file FILE ("-" reads stdin), in stored form;
// none when neither option was given. Throws for unreadable files and NUL bytes.
std::optional<std::string> MessageFromOptions(const std::string& command,
                                              const std::optional<std::string>& text,
                                              const std::optional<std::string>& file);

} // namespace lumora::cli
