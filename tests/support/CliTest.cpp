// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/CliTest.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <regex>
#include <thread>

namespace lumora::test {

namespace {

// Entries of the cache root that were not there before. Tests that run at the same time
// share the root, so a new entry counts only when it is still there after a while: the
// working folder of another test's lumora-cli goes when that one ends.
std::vector<std::string> LeftSince(const std::string& root,
                                   const std::vector<std::string>& before) {
    std::vector<std::string> added;
    for (int attempt = 0; attempt < 50; ++attempt) {
        added.clear();
        const std::vector<std::string> now = FolderEntries(root);
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                            std::back_inserter(added));
        if (added.empty())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return added;
}

} // namespace

CliOptions CliTest::RunOptions(const std::optional<std::string>& password,
                               CliOptions options) const {
    if (password)
        options.environment.emplace("LUMORA_PASSWORD", *password);
    if (options.program.empty() && !options.released)
        options.program = m_program;
    return options;
}

CliResult CliTest::Run(const std::vector<std::string>& args,
                       const std::optional<std::string>& password, CliOptions options) {
    options = RunOptions(password, std::move(options));
    const std::string root =
        CacheRootOf(options.program.empty() ? CliPath(options.released) : options.program);
    const auto before = FolderEntries(root);
    CliResult result = RunCli(args, options);
    EXPECT_EQ(LeftSince(root, before), std::vector<std::string>())
        << "lumora-cli left a working folder in " << root;
    return result;
}

CliChild CliTest::Start(const std::vector<std::string>& args,
                        const std::optional<std::string>& password, CliOptions options) {
    return CliChild(args, RunOptions(password, std::move(options)));
}

TerminalRun CliTest::OnTerminal(const std::vector<std::string>& args, TerminalUse use,
                                const std::optional<std::string>& password) const {
    return TerminalRun(args, use, RunOptions(password, {}));
}

void CliTest::UsePrivateCopy() {
    m_program = CopyOfCli(m_dir.Path());
}

std::string CliTest::MakeFile(const std::string& name, const std::string& content) const {
    std::string path = At(name);
    WriteText(path, content);
    return path;
}

std::string CliTest::HideInto(const std::string& carrierName, const std::vector<std::string>& extra,
                              const std::string& password) {
    std::vector<std::string> args{"hide", ReferenceFile("base.png"), "-o", At(carrierName)};
    args.insert(args.end(), extra.begin(), extra.end());
    CliResult result = Run(args, password);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    return At(carrierName);
}

std::string ErrorLine(const std::string& text) {
    return "lumora-cli: " + text + "\n";
}

std::string ReasonIn(const std::string& out) {
    static const std::regex reason("\"reason\": \"([a-z-]+)\"");
    std::smatch found;
    return std::regex_search(out, found, reason) ? found[1].str() : std::string();
}

} // namespace lumora::test
