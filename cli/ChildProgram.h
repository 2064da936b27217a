// SPDX-License-Identifier: GPL-2.0-or-later
// Programs that lumora-cli runs for the user: the password command and the message
// editor. They never see LUMORA_PASSWORD: main() takes it out of the environment first.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

// Splits a command line into words as a shell does, but without expanding anything:
// blanks separate words, '...' keeps everything, "..." keeps everything but \", \\, \$
// and \` (and a \ before a line break, which goes), and \ outside quotes keeps the next
// character. None for an unclosed quote or a line ending in \.
std::optional<std::vector<std::string>> SplitWords(const std::string& line);

// The session's terminal, open for reading and writing (close-on-exec), or -1.
[[nodiscard]] int OpenTerminal();

struct ChildRun {
    std::vector<std::string> argv; // argv[0] is looked up on the PATH
    int in = -1;                   // descriptors for the child's 0, 1 and 2; -1 keeps ours
    int out = -1;
    int err = -1;
    // The editor takes Ctrl-C for itself (as git lets it), so SIGINT and SIGQUIT do not
    // stop lumora-cli while it runs.
    bool ignoreInterrupts = false;
    // With `output`, the child's stdout goes to a pipe and up to `outputLimit` bytes of it
    // are kept there; the rest is read and dropped.
    std::string* output = nullptr;
    size_t outputLimit = 0;
    // The child and what it starts get a process group of their own, which a signal for
    // lumora-cli kills at once (the password command). While it runs, the group owns the
    // terminal given as `in`, as a shell's job would, so that it can read from it; a
    // Ctrl-C there ends the child and then lumora-cli.
    bool ownGroup = false;
};

// Runs the program and waits for it. Its exit status, 128 + the signal that ended it, or
// 127 when it could not be started. A SIGTERM or SIGHUP for lumora-cli is passed on, or
// with ownGroup ends the child's group with SIGKILL.
[[nodiscard]] int RunChild(const ChildRun& run);

// "sh: exit status 3" and the like, for messages.
std::string DescribeChildStatus(int status);

} // namespace lumora::cli
