// SPDX-License-Identifier: GPL-2.0-or-later
// The fixture of every test that runs lumora-cli: a scratch folder, and runs that must
// leave no working folder behind in the program's cache.
#pragma once

#include "support/CliRunner.h"
#include "support/TerminalRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace lumora::test {

class CliTest : public ::testing::Test {
protected:
    // Runs with LUMORA_PASSWORD set to `password` (none: the variable is not set).
    CliResult Run(const std::vector<std::string>& args,
                  const std::optional<std::string>& password = std::string("pw"),
                  CliOptions options = {});
    // Starts a run like Run and returns at once; nothing checks what the run leaves.
    CliChild Start(const std::vector<std::string>& args,
                   const std::optional<std::string>& password = std::string("pw"),
                   CliOptions options = {});

    // Starts a run on a pseudo-terminal that the test reads and types into.
    TerminalRun OnTerminal(const std::vector<std::string>& args, TerminalUse use,
                           const std::optional<std::string>& password = std::nullopt) const;

    // From now on, runs use a copy of the program in the scratch folder: what they leave
    // in its cache concerns this test alone, and no other test sees it.
    void UsePrivateCopy();
    // The cache of the program the runs use.
    std::string CacheRoot() const { return CacheRootOf(Program()); }

    std::string At(const std::string& name) const { return m_dir / name; }
    // Writes a file in the scratch folder and returns its path.
    std::string MakeFile(const std::string& name, const std::string& content) const;

    // hide of the reference PNG with `extra` arguments; expects success.
    std::string HideInto(const std::string& carrierName, const std::vector<std::string>& extra,
                         const std::string& password = "pw");

    TempDir m_dir;

private:
    std::string Program() const { return m_program.empty() ? CliPath() : m_program; }
    // `options` with the password and, unless the released program is asked for, the copy.
    CliOptions RunOptions(const std::optional<std::string>& password, CliOptions options) const;

    std::string m_program;
};

// "lumora-cli: TEXT\n", the form of every error line.
std::string ErrorLine(const std::string& text);

// The "reason" of the first JSON error object in out (what --json printed); empty when
// there is none.
std::string ReasonIn(const std::string& out);

} // namespace lumora::test
