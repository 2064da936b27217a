// SPDX-License-Identifier: GPL-2.0-or-later
// Where hide, edit, passwd and strip write: a file, or "-" for stdout, where the finished
// file is sent only once it is complete.
#pragma once

#include "cli/StandardStreams.h"

#include <optional>
#include <string>

namespace lumora::cli {

// Refuses an existing `output` unless `replace` is set.
void RequireNewOutput(const std::string& output, bool replace);

class OutputTarget {
public:
    // `output` as given with -o. An existing file is refused unless `force`; "-" is refused
    // on a terminal and with --json.
    OutputTarget(const std::string& command, const std::string& output, bool force);

    // Where the session writes.
    const std::string& Path() const;
    bool ToStdout() const { return m_stdout.has_value(); }
    // How messages name it.
    std::string Name() const { return ToStdout() ? "standard output" : m_output; }
    // Sends the written file to stdout when that is the target.
    void Finish() const;

private:
    std::string m_output;
    std::optional<StdoutOutput> m_stdout;
};

} // namespace lumora::cli
