// SPDX-License-Identifier: GPL-2.0-or-later
// Shared by the fault-injection and hostile-input tests: a fixture whose engine cache
// lives in the test's own folder, carriers made by the engine or wrapped around an
// archive built at test time, and child processes for limits that must not touch the
// test runner itself.
#pragma once

#include "support/ChildProcess.h"
#include "support/ReasonPrinter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumora::test {

inline constexpr const char* kPassword = "robust";

class RobustnessTest : public ::testing::Test {
protected:
    RobustnessTest();
    ~RobustnessTest() override;

    std::string Path(const std::string& name) const { return m_dir / name; }
    std::string CacheFolder() const { return m_dir / "cache"; }
    // Working folders the engine left in the cache folder.
    std::vector<std::string> CacheEntries() const;

    // A carrier made by the hide sequence from a 1000-byte picture, under kPassword.
    std::string MakeCarrier(const std::string& name, const std::string& message,
                            const std::vector<std::string>& files);
    // A file of pseudo-random bytes in the test folder.
    std::string MakeFile(const std::string& name, size_t size, uint32_t seed = 1);

    TempDir m_dir;
};

// Wraps a plain payload archive into a valid carrier at carrierPath: a small picture,
// the archive encrypted under kPassword, a trailer with a password check record.
void WrapArchive(const std::string& archivePath, const std::string& carrierPath);

// Runs a python3 script (given as text) with arguments; false when it fails.
bool RunPython(const std::string& script, const std::vector<std::string>& args);

struct RevealResult {
    int opened = 0;   // trailer valid and password accepted
    int unpacked = 0; // UnpackPayload's result
    int files = 0;
    int extracted = 0;
    std::optional<std::string> message;
};

// The reveal sequence under kPassword, every listed file extracted into the working folder.
RevealResult Reveal(const std::string& carrier);

} // namespace lumora::test
