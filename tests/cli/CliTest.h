// SPDX-License-Identifier: GPL-2.0-or-later
// Fixture for the end-to-end tests: a scratch folder, and runs of lumora-cli that must
// leave no working folder behind in its cache.
#pragma once

#include "CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace lumora::test {

class CliTest : public ::testing::Test {
protected:
    // Runs with LUMORA_PASSWORD set to `password` (none: the variable is not set).
    CliResult Run(const std::vector<std::string>& args,
                  const std::optional<std::string>& password = std::string("pw"),
                  CliOptions options = {});

    std::string At(const std::string& name) const { return m_dir / name; }
    // Writes a file in the scratch folder and returns its path.
    std::string MakeFile(const std::string& name, const std::string& content) const;

    // hide of the reference PNG with `extra` arguments; expects success.
    std::string HideInto(const std::string& carrierName, const std::vector<std::string>& extra,
                         const std::string& password = "pw");

    TempDir m_dir;
};

// "lumora-cli: TEXT\n", the form of every error line.
std::string ErrorLine(const std::string& text);

// The "reason" of the first JSON error object in out (what --json printed); empty when
// there is none.
std::string ReasonIn(const std::string& out);

} // namespace lumora::test
