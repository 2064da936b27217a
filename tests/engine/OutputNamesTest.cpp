// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/OutputNames.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(OutputNames, EveryEntryGetsAPlaceBelowTheFolderAndNoneIsWrittenOverAnother) {
    struct Case {
        std::vector<std::string> names;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{"a.txt", "sub/./inner.txt", "sub//x..y"}, {"a.txt", "sub/inner.txt", "sub/x..y"}},
        {{"x.txt", "x.txt", "x.txt"}, {"x.txt", "x (2).txt", "x (3).txt"}},
        {{"a/x.txt", "a\\x.txt"}, {"a/x.txt", "a/x (2).txt"}},
        {{".profile", ".profile", "noext", "noext"},
         {".profile", ".profile (2)", "noext", "noext (2)"}},
        {{"x (2).txt", "x.txt", "x.txt"}, {"x (2).txt", "x.txt", "x (3).txt"}},
        {{"", "/", "/etc/passwd", "../x", "a/../../x", "a/..", ".", "./"},
         {"", "", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UniqueOutputNames(c.names), c.paths);
}

TEST(OutputNames, AFileSavedByItsOwnNameLeavesItsFoldersBehind) {
    const std::pair<std::string, std::string> cases[] = {
        {"x.txt", "x.txt"}, {"a/b/x.txt", "x.txt"}, {"a\\x.txt", "x.txt"}, {"sub//x..y", "x..y"},
        {"../x.txt", ""},   {"/etc/passwd", ""},    {"a/../../x.txt", ""}, {"", ""},
    };
    for (const auto& [name, own] : cases)
        EXPECT_EQ(OwnOutputName(name), own) << name;
}

} // namespace
} // namespace lumora
