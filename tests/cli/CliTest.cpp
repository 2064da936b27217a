// SPDX-License-Identifier: GPL-2.0-or-later
#include "CliTest.h"

namespace lumora::test {

CliResult CliTest::Run(const std::vector<std::string>& args,
                       const std::optional<std::string>& password, CliOptions options) {
    if (password)
        options.environment.emplace("LUMORA_PASSWORD", *password);
    auto before = CacheEntries();
    CliResult result = RunCli(args, options);
    EXPECT_EQ(CacheEntries(), before) << "lumora-cli left a working folder in " << CliCacheRoot();
    return result;
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

} // namespace lumora::test
