// SPDX-License-Identifier: GPL-2.0-or-later
// Runs a private copy of lumora-cli, so that its working folders (kept beside the
// program) land in the test's folder and never in the build tree's shared cache.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace lumora::test {

class CliProcess {
public:
    // Copies the built lumora-cli into folder/bin.
    explicit CliProcess(const std::string& folder);

    // Starts the copy with args, the password in LUMORA_PASSWORD, stdin from /dev/null and
    // stdout and stderr into files of the folder; before exec, prepare runs in the child.
    pid_t Start(const std::vector<std::string>& args, void (*prepare)() = nullptr);
    // Waits for the child: its exit status, or 128 + signal.
    static int Wait(pid_t child);
    // Start and Wait.
    int Run(const std::vector<std::string>& args, void (*prepare)() = nullptr);

    std::string Stderr() const;
    // The cache folder beside the copy.
    std::string CacheFolder() const { return m_bin + "/cache"; }

private:
    std::string m_folder;
    std::string m_bin;
    std::string m_program;
};

} // namespace lumora::test
