// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryName.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

using Parts = std::vector<std::string>;

struct NameCase {
    std::string name;
    bool safe;       // may be extracted below a folder
    Parts parts;     // how it splits into folders
    bool acceptable; // a new file may be stored under it
};

TEST(EntryName, OneRuleForSafetyPartsAndNewNames) {
    const NameCase cases[] = {
        {"a.txt", true, {"a.txt"}, true},
        {"sub/b.txt", true, {"sub", "b.txt"}, true},
        {"..a", true, {"..a"}, true},
        {"a..", true, {"a.."}, true},
        {"a/..b/c", true, {"a", "..b", "c"}, true},
        {"C:/x", true, {"C:", "x"}, true},
        {"naïve résumé.txt", true, {"naïve résumé.txt"}, true},
        {"sub/veilnote.vnt", true, {"sub", "veilnote.vnt"}, true},
        // Safe to extract, but not the form a new entry is written in.
        {"./c.txt", true, {"c.txt"}, false},
        {"a//b", true, {"a", "b"}, false},
        {"a/./b", true, {"a", "b"}, false},
        {"folder/", true, {"folder"}, false},
        {"win\\inner.txt", true, {"win", "inner.txt"}, false},
        {"x\\", true, {"x"}, false},
        {"veilnote.vnt", true, {"veilnote.vnt"}, false},
        // Never safe.
        {"", false, {}, false},
        {".", false, {}, false},
        {"./", false, {}, false},
        {"/etc/passwd", false, {"etc", "passwd"}, false},
        {"\\x", false, {"x"}, false},
        {"..", false, {".."}, false},
        {"../a", false, {"..", "a"}, false},
        {"a/../../b", false, {"a", "..", "..", "b"}, false},
        {"a/..", false, {"a", ".."}, false},
        {"..\\a", false, {"..", "a"}, false},
        {"a\\..\\..\\b", false, {"a", "..", "..", "b"}, false},
        {std::string("a\0b", 3), false, {std::string("a\0b", 3)}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("name \"" + c.name + "\"");
        EXPECT_EQ(c.safe, IsSafeEntryName(c.name));
        EXPECT_EQ(c.parts, EntryNameParts(c.name));
        EXPECT_EQ(c.acceptable, IsAcceptableNewEntryName(c.name));
    }
}

} // namespace
} // namespace lumora
