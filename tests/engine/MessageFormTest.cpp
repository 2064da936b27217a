// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageForm.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// A text and its stored form, converted both ways in pieces: a CR that ends one piece
// must still pair with an LF that starts the next.
struct PiecesCase {
    const char* name;
    std::string text;
    std::string stored;
    // FromStoredForm(stored), where it is not text again.
    std::string readBack;
};

class StoredFormPiecesTest : public ::testing::TestWithParam<PiecesCase> {};

TEST_P(StoredFormPiecesTest, PiecesOfAnySizeConvertAsTheWhole) {
    const PiecesCase& c = GetParam();
    const std::string readBack = c.readBack.empty() ? c.text : c.readBack;
    const size_t longest = std::max(c.text.size(), c.stored.size()) + 1;
    for (size_t pieceSize : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, longest}) {
        std::string stored;
        StoredFormAppender appender(stored);
        for (size_t at = 0; at < c.text.size(); at += pieceSize)
            appender.Append(std::string_view(c.text).substr(at, pieceSize));
        EXPECT_EQ(stored, c.stored) << "pieces of " << pieceSize;

        std::string text;
        StoredFormReader reader([&text](std::string_view piece) { text.append(piece); });
        for (size_t at = 0; at < c.stored.size(); at += pieceSize)
            reader.Feed(std::string_view(c.stored).substr(at, pieceSize));
        reader.Finish();
        EXPECT_EQ(text, readBack) << "pieces of " << pieceSize;
    }
    EXPECT_EQ(ToStoredForm(c.text), c.stored);
    EXPECT_EQ(FromStoredForm(c.stored), readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredFormPiecesTest,
    ::testing::Values(PiecesCase{"lines", "ab\ncd\n", "ab\r\ncd\r\n", ""},
                      PiecesCase{"breaks_only", "\n\n\n", "\r\n\r\n\r\n", ""},
                      PiecesCase{"already_stored", "a\r\nb\r\n", "a\r\nb\r\n", "a\nb\n"},
                      PiecesCase{"lone_crs", "\ra\rb\r", "\ra\rb\r", ""},
                      PiecesCase{"cr_then_stored_break", "x\r\r\ny", "x\r\r\ny", "x\r\ny"},
                      PiecesCase{"mixed", "\r\n\n\r", "\r\n\r\n\r", "\n\n\r"},
                      PiecesCase{"utf8", "Gr\xC3\xBC\xC3\x9F\ne", "Gr\xC3\xBC\xC3\x9F\r\ne", ""},
                      PiecesCase{"empty", "", "", ""}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

} // namespace
} // namespace lumora
