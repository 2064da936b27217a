// SPDX-License-Identifier: GPL-2.0-or-later
// The pieces of lumora-cli that decide on their own: option parsing and JSON conversion.
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Json.h"
#include "cli/MessageText.h"

#include <gtest/gtest.h>

using namespace lumora::cli;

TEST(CliMessageText, NulBytesAreRefusedRatherThanCutTheMessageShort) {
    EXPECT_THROW(MessageFromOptions("hide", std::string("a\0b", 3), std::nullopt), CliError);
    EXPECT_EQ(MessageFromOptions("hide", std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(MessageFromOptions("hide", std::string("x\ny"), std::nullopt), "x\r\ny");
}

TEST(CliJson, StringsAreEscapedAndAlwaysValidUtf8) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("q\"b\\"), "\"q\\\"b\\\\\"");
    EXPECT_EQ(JsonString("t\tn\n\x01"), "\"t\\tn\\n\\u0001\"");
    EXPECT_EQ(JsonString("日本.txt"), "\"日本.txt\"");
    EXPECT_EQ(JsonString("bad\xff"
                         "end"),
              "\"bad\\ufffdend\"");
    EXPECT_EQ(JsonString("cut\xe6\x97"), "\"cut\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"") << "overlong forms are invalid";
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"") << "surrogates are invalid";
}

TEST(CliArguments, OptionsTakeValuesInEveryUsualForm) {
    std::vector<OptionRule> rules{
        {"output", 'o', true}, {"add", 0, true, true}, {"force", 0, false}};
    Arguments parsed("hide", rules,
                     {"img", "-oout.png", "--add=a", "--add", "b", "f1", "--force", "--", "-x"});
    EXPECT_EQ(parsed.Value("output"), "out.png");
    EXPECT_EQ(parsed.Values("add"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(parsed.Has("force"));
    EXPECT_EQ(parsed.Operands(), (std::vector<std::string>{"img", "f1", "-x"}));
    EXPECT_EQ(Arguments("hide", rules, {"-", "-o", "-"}).Operands(), std::vector<std::string>{"-"});

    EXPECT_THROW(Arguments("hide", rules, {"-o", "a", "--output=b"}), UsageError);
    EXPECT_THROW(Arguments("hide", rules, {"--forc"}), UsageError) << "no abbreviations";
}
