// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryName.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

using Parts = std::vector<std::string>;

TEST(EntryName, OneRuleForSafetyPartsAndNewNames) {
    // name, safe to extract below a folder, its parts, acceptable for a new entry
    const std::tuple<std::string, bool, Parts, bool> cases[] = {
        {"a.txt", true, {"a.txt"}, true},
        {"sub/b.txt", true, {"sub", "b.txt"}, true},
        {"a/..b/c", true, {"a", "..b", "c"}, true},
        {"sub/veilnote.vnt", true, {"sub", "veilnote.vnt"}, true},
        {"./c.txt", true, {"c.txt"}, false},
        {"a//b", true, {"a", "b"}, false},
        {"folder/", true, {"folder"}, false},
        {"win\\inner.txt", true, {"win", "inner.txt"}, false},
        {"veilnote.vnt", true, {"veilnote.vnt"}, false},
        {"", false, {}, false},
        {"/etc/passwd", false, {"etc", "passwd"}, false},
        {"\\x", false, {"x"}, false},
        {"a/../../b", false, {"a", "..", "..", "b"}, false},
        {"a\\..\\..\\b", false, {"a", "..", "..", "b"}, false},
        {std::string("a\0b", 3), false, {std::string("a\0b", 3)}, false},
    };
    for (const auto& [name, safe, parts, acceptable] : cases) {
        SCOPED_TRACE("name \"" + name + "\"");
        EXPECT_EQ(safe, IsSafeEntryName(name));
        EXPECT_EQ(parts, EntryNameParts(name));
        EXPECT_EQ(acceptable, IsAcceptableNewEntryName(name));
    }
}

} // namespace
} // namespace lumora
