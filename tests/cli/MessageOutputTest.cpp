// SPDX-License-Identifier: GPL-2.0-or-later
// The hidden message written in pieces gives what the whole message gives: LF line breaks,
// and on a terminal the same escapes and reading of text that is not UTF-8.
#include "cli/MessageOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace lumora::cli;

namespace {

std::string Written(const std::string& stored, bool terminal, size_t pieceSize) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), std::fclose);
    EXPECT_TRUE(WriteMessage(file.get(), stored, terminal, pieceSize));
    std::string out(static_cast<size_t>(std::ftell(file.get())), '\0');
    std::rewind(file.get());
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), file.get()), out.size());
    return out;
}

struct OutputCase {
    const char* name;
    std::string stored;
    std::string piped;    // what a pipe or file gets
    std::string terminal; // what a terminal gets
};

class MessageOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(MessageOutputTest, PiecesOfAnySizeWriteTheWholeMessage) {
    const OutputCase& c = GetParam();
    for (size_t pieceSize : {size_t{4}, size_t{5}, size_t{6}, size_t{7}, kMessagePieceSize}) {
        EXPECT_EQ(Written(c.stored, false, pieceSize), c.piped) << "pieces of " << pieceSize;
        EXPECT_EQ(Written(c.stored, true, pieceSize), c.terminal) << "pieces of " << pieceSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageOutputTest,
    ::testing::Values(
        OutputCase{"line_breaks_across_pieces", "abc\r\ndefg\r\nhi\r\n", "abc\ndefg\nhi\n",
                   "abc\ndefg\nhi\n"},
        OutputCase{"last_line_ended_on_a_terminal", "one\r\ntwo", "one\ntwo", "one\ntwo\n"},
        OutputCase{"lone_crs_stay", "a\rbcd\r", "a\rbcd\r", "a\rbcd\r\n"},
        // Multi-byte characters that a piece of four to seven bytes would cut.
        OutputCase{"utf8_across_pieces", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82\xAC.",
                   "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82\xAC.",
                   "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82\xAC.\n"},
        // One byte that is not UTF-8 makes the whole text Windows-1252, also the piece
        // that would be UTF-8 by itself.
        OutputCase{"not_utf8_as_a_whole", "\xC3\xA4xxxxxxxx\xFF", "\xC3\xA4xxxxxxxx\xFF",
                   "\xC3\x83\xC2\xA4xxxxxxxx\xC3\xBF\n"},
        OutputCase{"controls_escaped_on_a_terminal", "tab\tesc\x1b[31m\r\n", "tab\tesc\x1b[31m\n",
                   "tab\tesc\\x1b[31m\n"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

} // namespace
