// SPDX-License-Identifier: GPL-2.0-or-later
// The pieces of lumora-cli that decide on their own: the option grammar, JSON and
// terminal escapes, word splitting, picture formats, and that the manuals describe
// exactly the commands and options of the command table.
#include "cli/Arguments.h"
#include "cli/ChildProgram.h"
#include "cli/CliError.h"
#include "cli/CommandTable.h"
#include "cli/Json.h"
#include "cli/PictureFormat.h"
#include "cli/TerminalText.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

using namespace lumora::cli;

namespace {

using Words = std::vector<std::string>;

// One parse of `args` as `command` takes them: "" when it fails with a usage error,
// else the options and operands in a readable form.
std::string Parsed(const std::string& command, const Words& args) {
    try {
        const Arguments parsed(command, OptionsOf(command), args);
        std::string text;
        for (const OptionSpec& option : OptionSpecs())
            for (const std::string& value : parsed.Values(option.longName))
                if (text.find("--" + std::string(option.longName) + "=" + value + " ") ==
                    std::string::npos)
                    text += "--" + std::string(option.longName) + "=" + value + " ";
        for (const std::string& operand : parsed.Operands())
            text += "[" + operand + "]";
        return text;
    } catch (const UsageError& error) {
        return std::string("error: ") + error.what();
    }
}

} // namespace

TEST(CliArguments, TheGrammarOfOptionsAndOperands) {
    struct Case {
        std::string command;
        Words args;
        std::string parsed;
    };
    const Case cases[] = {
        {"hide", {"img", "-oout.png", "f1"}, "--output=out.png [img][f1]"},
        {"hide", {"--output=a=b", "img"}, "--output=a=b [img]"},
        {"hide", {"--output", "-", "-"}, "--output=- [-]"},
        {"edit", {"c", "--add=a", "--add", "b"}, "--add=a --add=b [c]"},
        {"hide", {"-qe", "img"}, "--edit-message= --quiet= [img]"},
        {"hide", {"-eo", "x", "img"}, "--output=x --edit-message= [img]"},
        {"hide", {"img", "--", "-x", "--force"}, "[img][-x][--force]"},
        {"reveal", {"c", "-d", "--"}, "--directory=-- [c]"},
        {"hide", {"--forc"}, "error: unknown option --forc (did you mean --force?)"},
        {"hide", {"--mesage=x"}, "error: unknown option --mesage (did you mean --message?)"},
        {"list",
         {"--pasword-fd=3"},
         "error: unknown option --pasword-fd (did you mean --password-fd?)"},
        {"hide", {"--bogus"}, "error: unknown option --bogus"},
        {"hide", {"--pass"}, "error: unknown option --pass"},
        {"scan", {"--password-file", "x"}, "error: unknown option --password-file"},
        {"hide", {"-x"}, "error: unknown option -x"},
        {"hide", {"-o"}, "error: option -o needs a value"},
        {"hide", {"--output"}, "error: option --output needs a value"},
        {"hide", {"-o", "a", "--output=b"}, "error: option --output given more than once"},
        {"info", {"--json=yes"}, "error: option --json takes no value"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parsed(c.command, c.args), c.parsed) << c.command << " " << c.args[0];

    const Arguments numbers("list", OptionsOf("list"), {"--password-fd=7"});
    EXPECT_EQ(numbers.Number("password-fd", 0, 100), 7);
    for (std::string bad : {"", "-1", "7x", "+7", "101", "99999999999999999999"}) {
        const Arguments parsed("list", OptionsOf("list"), {"--password-fd=" + bad});
        EXPECT_THROW(parsed.Number("password-fd", 0, 100), UsageError) << bad;
    }
}

TEST(CliCommandTable, EveryOptionNamesRealCommandsAndOneMeaningPerLetter) {
    std::set<std::string> commands{"lumora-cli"};
    for (const CommandSpec& command : CommandSpecs())
        commands.insert(command.name);
    for (const OptionSpec& option : OptionSpecs()) {
        if (std::string(option.commands) == "*")
            continue;
        std::istringstream names(option.commands);
        for (std::string name; names >> name;)
            EXPECT_EQ(commands.count(name), 1u) << option.longName << " names " << name;
    }
    // Within one command, a name or a letter stands for one option only.
    for (const std::string& command : commands) {
        std::set<std::string> seen;
        for (const OptionSpec* option : OptionsOf(command)) {
            EXPECT_TRUE(seen.insert(option->longName).second)
                << command << " --" << option->longName;
            if (option->shortName != 0) {
                EXPECT_TRUE(seen.insert(std::string(1, option->shortName)).second)
                    << command << " -" << option->shortName;
            }
        }
    }
}

TEST(CliCommandTable, TheManualsNameExactlyTheTablesCommandsAndOptions) {
    std::set<std::string> commands;
    std::set<std::string> options;
    for (const CommandSpec& command : CommandSpecs())
        commands.insert(command.name);
    for (const OptionSpec& option : OptionSpecs()) {
        options.insert("--" + std::string(option.longName));
        if (option.shortName != 0)
            options.insert(std::string("-") + option.shortName);
    }
    struct Manual {
        std::string file;
        std::regex option;  // what an option looks like there
        std::regex command; // where a command is described
    };
    const Manual manuals[] = {
        {"docs/lumora-cli.1", std::regex(R"((?:^|[^\\\w])((?:\\-){1,2}[a-zA-Z](?:[a-z]|\\-)*))"),
         std::regex(R"(\n\.B lumora-cli ([a-z]+))")},
        {"docs/manual/cli.html", std::regex(R"((?:^|[^\w-])(--?[a-zA-Z][a-z-]*))"),
         std::regex(R"re(<h3 id="([a-z]+)">)re")},
    };
    for (const Manual& manual : manuals) {
        SCOPED_TRACE(manual.file);
        const std::string text = lumora::test::ReadText(LUMORA_SOURCE_DIR "/" + manual.file);
        std::set<std::string> named;
        for (std::sregex_iterator it(text.begin(), text.end(), manual.option), end; it != end; ++it)
            named.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
        named.erase("--"); // ends the options; no option itself
        EXPECT_EQ(named, options);
        std::set<std::string> described;
        for (std::sregex_iterator it(text.begin(), text.end(), manual.command), end; it != end;
             ++it)
            described.insert((*it)[1].str());
        EXPECT_EQ(described, commands);
        // And the name of every result code of JSON output.
        const std::string plain = std::regex_replace(text, std::regex(R"(\\-)"), "-");
        for (const CodeInfo& code : Codes())
            EXPECT_NE(plain.find(code.name), std::string::npos) << code.name;
    }
}

TEST(CliJson, StringsAreEscapedLosslesslyAndAlwaysParse) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"t\tn\n\x01\x7f", "\"t\\tn\\n\\u0001\\u007f\""},
        {"日本.txt", "\"日本.txt\""},
        {"bad\xff"
         "end",
         "\"bad\\udcffend\""},
        {"cut\xe6\x97", "\"cut\\udce6\\udc97\""},
        {"\xc0\xaf", "\"\\udcc0\\udcaf\""},            // an overlong form is no UTF-8
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""}, // nor is an encoded surrogate
    };
    for (const auto& [text, json] : cases)
        EXPECT_EQ(JsonString(text), json);
    EXPECT_EQ(JsonObject().String("a", "x").Number("n", -3).Bool("b", true).Null("z").Text(),
              "{\"a\": \"x\", \"n\": -3, \"b\": true, \"z\": null}");
}

// A message in its stored form goes into JSON with LF line breaks, its lone CRs kept,
// and the object printed as it is built reads as its text.
TEST(CliJson, AStoredMessageIsWrittenWithLfLineBreaks) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb\r\n", "\"a\\nb\\n\""},
        {"lone\rcr\r", "\"lone\\rcr\\r\""},
        {"\r\r\n", "\"\\r\\n\""},
        {"bad\xff\r\n", "\"bad\\udcff\\n\""},
    };
    for (const auto& [stored, json] : cases) {
        JsonObject object;
        object.StoredMessage("m", stored).Null("z");
        EXPECT_EQ(object.Text(), "{\"m\": " + json + ", \"z\": null}");
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), std::fclose);
        object.Print(file.get());
        std::string printed(static_cast<size_t>(std::ftell(file.get())), '\0');
        std::rewind(file.get());
        ASSERT_EQ(std::fread(printed.data(), 1, printed.size(), file.get()), printed.size());
        EXPECT_EQ(printed, object.Text() + "\n");
    }
}

TEST(CliTerminalText, ControlCharactersAreShownNotObeyed) {
    struct Case {
        std::string text;
        TextKind kind;
        std::string shown;
    };
    const Case cases[] = {
        {"plain name.txt", TextKind::Name, "plain name.txt"},
        {"a\\b \"q\".txt", TextKind::Name, "a\\b \"q\".txt"},
        {"red\x1b[31m.txt", TextKind::Name, "\"red\\x1b[31m.txt\""},
        {"two\nlines\\", TextKind::Name, "\"two\\nlines\\\\\""},
        {"csi\xc2\x9b.txt", TextKind::Name, "\"csi\\u009b.txt\""},
        {"evil\xe2\x80\xae"
         "txt.exe",
         TextKind::Name, "\"evil\\u202etxt.exe\""},
        {"r\xe9sum\xe9", TextKind::Name, "résumé"}, // Windows-1252, as other writers store it
        {"a\tb\r\nc\x1b]0;x\x07", TextKind::Message, "a\tb\r\nc\\x1b]0;x\\a"},
        {"bad \x1b name\n", TextKind::Line, "bad \\x1b name\\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ForTerminal(c.text, c.kind), c.shown) << c.text;
}

TEST(CliWords, CommandsSplitLikeAShellWithoutExpanding) {
    const std::pair<std::string, std::optional<Words>> cases[] = {
        {"pass show lumora", Words{"pass", "show", "lumora"}},
        {"  a\t 'b c'  \"d e\" ", Words{"a", "b c", "d e"}},
        {"'$HOME' \"$HOME\" ~ *", Words{"$HOME", "$HOME", "~", "*"}},
        {"\"a\\\"b\\\\c\\d\" e\\ f", Words{"a\"b\\c\\d", "e f"}},
        {"x''y \"\"", Words{"xy", ""}},
        {"'open", std::nullopt},
        {"\"open", std::nullopt},
        {"end\\", std::nullopt},
    };
    for (const auto& [line, words] : cases)
        EXPECT_EQ(SplitWords(line), words) << line;
}

TEST(CliPictureFormat, TextFormatsAreTheOnesThatBreak) {
    using lumora::test::ReferenceFile;
    for (std::string name : {"base.png", "base.gif", "base.jpg", "base.bmp"})
        EXPECT_TRUE(ToleratesTrailingBytes(PictureHead(ReferenceFile(name)))) << name;
    const std::pair<std::string, bool> heads[] = {
        {"<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n", false},
        {"\xef\xbb\xbf<svg width=\"10\">\r\n</svg>", false},
        {"/* XPM */\nstatic char *x[] = {\n\"1 1 1 1\",\n};\n", false},
        {"P1\n2 2\n0 1\n1 0\n", false},
        {std::string("P5\n2 2\n255\n\0\x01\x02\x03", 15), true},
        {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), true},
        {"\xd7\xcd\xc6\x9a some metafile", true},
    };
    for (const auto& [head, tolerates] : heads)
        EXPECT_EQ(ToleratesTrailingBytes(head), tolerates) << head;
}
