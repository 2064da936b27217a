// SPDX-License-Identifier: GPL-2.0-or-later
// The message entry made where it is read and decoded as it comes, against the entry's
// rule: an extra CR before every LF, then one NUL; reading stops at the first NUL and
// makes CR LF an LF.
#include "engine/MessageEntry.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace lumora::test {
namespace {

// The entry as the rule describes it, built whole.
std::string WholeEntry(const std::string& message) {
    std::string entry;
    for (char c : message) {
        if (c == '\n')
            entry += '\r';
        entry += c;
    }
    return entry + '\0';
}

std::string ReadRange(const MessageEntryBytes& bytes, uint64_t offset, size_t length) {
    std::string out(length, '?');
    bytes.ReadAt(offset, reinterpret_cast<uint8_t*>(out.data()), length);
    return out;
}

// Messages whose line breaks fall on the 4096-byte marks the reads start from, and just
// before and after them.
std::string LinesAround(size_t mark) {
    std::string text(3 * mark + 17, 'x');
    for (size_t at : {size_t{0}, mark - 1, mark, mark + 1, 2 * mark - 2, 2 * mark, text.size() - 1})
        text[at] = '\n';
    text[5] = '\r'; // a CR LF as stored still gets its extra CR
    text[6] = '\n';
    return text;
}

struct EntryBytesCase {
    const char* name;
    std::string message;
};

class MessageEntryBytesTest : public ::testing::TestWithParam<EntryBytesCase> {};

TEST_P(MessageEntryBytesTest, EveryRangeIsThatOfTheWholeEntry) {
    const std::string& message = GetParam().message;
    const std::string whole = WholeEntry(message);
    const MessageEntryBytes bytes(message);
    ASSERT_EQ(bytes.Size(), whole.size());
    EXPECT_EQ(static_cast<uint64_t>(MessageEntrySize(message)), whole.size());
    EXPECT_EQ(ReadRange(bytes, 0, whole.size()), whole);
    // Every start near a mark or a line break, with lengths that end inside a CR LF.
    for (uint64_t offset = 0; offset < whole.size(); ++offset) {
        const bool nearMark = offset % 4096 < 3 || offset % 4096 > 4092;
        const bool nearBreak = whole[offset] == '\r' || whole[offset] == '\n' ||
                               (offset > 0 && whole[offset - 1] == '\n');
        if (whole.size() > 64 && !nearMark && !nearBreak)
            continue;
        for (size_t length : {size_t{1}, size_t{2}, size_t{3}, size_t{4097}}) {
            length = std::min<size_t>(length, whole.size() - offset);
            ASSERT_EQ(ReadRange(bytes, offset, length), whole.substr(offset, length))
                << "offset " << offset << " length " << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageEntryBytesTest,
    ::testing::Values(EntryBytesCase{"one_letter", "a"}, EntryBytesCase{"only_a_break", "\n"},
                      EntryBytesCase{"breaks_at_both_ends", "\nmiddle\n"},
                      EntryBytesCase{"stored_line_breaks", "a\r\nb\r\n\r\n"},
                      EntryBytesCase{"lone_cr", "a\rb"},
                      EntryBytesCase{"no_break_past_a_mark", std::string(9000, 'm')},
                      EntryBytesCase{"breaks_around_marks", LinesAround(4096)},
                      EntryBytesCase{"all_breaks", std::string(8200, '\n')}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

struct ReaderCase {
    const char* name;
    std::string entry;
    std::string message;
};

class MessageEntryReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(MessageEntryReaderTest, PiecesOfAnySizeGiveTheMessage) {
    const ReaderCase& c = GetParam();
    for (size_t pieceSize : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, c.entry.size() + 1}) {
        std::string message;
        MessageEntryReader reader([&message](std::string_view piece) { message.append(piece); });
        for (size_t at = 0; at < c.entry.size(); at += pieceSize)
            reader.Feed(std::string_view(c.entry).substr(at, pieceSize));
        reader.Finish();
        EXPECT_EQ(message, c.message) << "pieces of " << pieceSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MessageEntryReaderTest,
    ::testing::Values(ReaderCase{"as_written", WholeEntry("one\r\ntwo\n"), "one\r\ntwo\n"},
                      ReaderCase{"without_nul", "a\r\r\nb", "a\r\nb"},
                      ReaderCase{"ends_at_the_first_nul", std::string("keep\r\n\0lost\r\n\0", 14),
                                 "keep\n"},
                      ReaderCase{"cr_before_the_nul", std::string("a\r\0\n", 4), "a\r"},
                      ReaderCase{"cr_at_the_end", "end\r", "end\r"},
                      ReaderCase{"crs_in_a_row", "\r\r\r\n\r", "\r\r\n\r"},
                      ReaderCase{"empty", std::string("\0", 1), ""}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

class ComparedMessageTest : public EngineTest {};

// A read that compares the carrier's message with an expected one holds nothing and
// tells whether it was that message, also where the two differ only at an end.
TEST_F(ComparedMessageTest, AComparedMessageMatchesOnlyItself) {
    const std::string message = "first line\r\n" + std::string(300000, 'b') + "\r\nlast";
    const std::string carrier = Path("c.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", message, {}), 1);
    struct Case {
        std::string expected;
        bool matched;
    };
    const Case cases[] = {
        {message, true},
        {message.substr(0, message.size() - 1), false},
        {message + "t", false},
        {"first line\n" + message.substr(12), false},
    };
    for (const Case& c : cases) {
        CBindImage engine;
        engine.CompareMessageWith(&c.expected);
        ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_INSPECT), 1);
        engine.SetPassword(Password("pw"));
        ASSERT_EQ(engine.UnpackPayload(), 1);
        EXPECT_EQ(engine.GetMessageState(), MessageState::Present);
        EXPECT_FALSE(engine.Message().has_value());
        EXPECT_EQ(engine.MessageMatched(), c.matched) << c.expected.size();
    }
}

} // namespace
} // namespace lumora::test
