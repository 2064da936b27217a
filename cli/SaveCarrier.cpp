// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SaveCarrier.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"

namespace lumora::cli {

void RequireNewOutput(const std::string& output, bool replace) {
    if (!replace && PathExists(output))
        throw AlreadyExists(output);
}

OutputTarget::OutputTarget(const std::string& command, const std::string& output, bool force)
    : m_output(output), m_stdout(StdoutOutput::For(command, output)) {
    if (!m_stdout)
        RequireNewOutput(output, force);
}

const std::string& OutputTarget::Path() const {
    return m_stdout ? m_stdout->Path() : m_output;
}

void OutputTarget::Finish() const {
    if (m_stdout)
        m_stdout->Send();
}

} // namespace lumora::cli
