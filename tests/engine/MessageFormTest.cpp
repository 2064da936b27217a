// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageForm.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(MessageForm, LineBreaksConvertBothWaysWithoutDoublingCr) {
    EXPECT_EQ(ToStoredForm("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(ToStoredForm("\n\n"), "\r\n\r\n");
    EXPECT_EQ(ToStoredForm("a\r\nb"), "a\r\nb");
    EXPECT_EQ(ToStoredForm("lone\rcr"), "lone\rcr");
    EXPECT_EQ(FromStoredForm("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(FromStoredForm("end\r"), "end\r");
    EXPECT_EQ(FromStoredForm("\r\r\n"), "\r\n");
    const std::string text = "Grüße\n\nline\n";
    EXPECT_EQ(FromStoredForm(ToStoredForm(text)), text);
}

TEST(MessageForm, TextThatIsNotUtf8IsShownThroughWindows1252) {
    struct Case {
        std::string stored;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"}, // UTF-8 stays
        {"Gr\xFC\xDF"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},                                                        // Latin-1 letters
        {"\x80 \x93q\x94", "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"}, // euro, quotes
        {"\xC0\x80", "\xC3\x80\xE2\x82\xAC"},                         // overlong NUL
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},             // a surrogate
        {"cut \xE2\x82", "cut \xC3\xA2\xE2\x80\x9A"},                 // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShowableText(c.stored), c.shown) << c.stored;
        EXPECT_TRUE(IsValidUtf8(ShowableText(c.stored))) << c.stored;
    }
    EXPECT_FALSE(IsStorableMessage(std::string("a\0b", 3)));
    EXPECT_TRUE(IsStorableMessage("a\r\nb"));
}

} // namespace
} // namespace lumora
