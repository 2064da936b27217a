// SPDX-License-Identifier: GPL-2.0-or-later
// What lumora-cli does for a careless user: covers that are no picture or already hold
// data are refused, hiding nothing is no success, and revealed files are private and keep
// the times the carrier stored.
#include "support/CliTest.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace lumora::test;

namespace {

struct CoverCase {
    std::string name;    // of the cover file in the scratch folder
    std::string content; // appended to base.png when `afterPicture`
    bool afterPicture;
    std::string reason; // empty: taken
    std::string line;   // the error line, "%s" for the cover's path
};

class CliCovers : public CliTest, public ::testing::WithParamInterface<CoverCase> {};

TEST_P(CliCovers, OnlyPlainPicturesAreCoversWithoutForce) {
    const CoverCase& c = GetParam();
    const std::string cover =
        MakeFile(c.name, (c.afterPicture ? ReadText(ReferenceFile("base.png")) : "") + c.content);
    const std::string secret = MakeFile("secret.txt", "secret");
    CliResult hidden = Run({"hide", "--json", cover, secret, "-o", At("out.png")});
    if (c.reason.empty()) {
        EXPECT_EQ(hidden.status, 0) << hidden.err;
        return;
    }
    EXPECT_EQ(hidden.status, 6);
    EXPECT_EQ(ReasonIn(hidden.out), c.reason);
    std::string line = c.line;
    line.replace(line.find("%s"), 2, cover);
    EXPECT_EQ(Run({"hide", cover, secret, "-o", At("out.png")}).err, ErrorLine(line));
    EXPECT_FALSE(FileExists(At("out.png")));

    CliResult forced = Run({"hide", cover, secret, "-o", At("out.png"), "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Run({"extract", At("out.png"), "secret.txt", "--stdout"}).out, "secret");
}

const std::string kZipHead("PK\x03\x04\x14\x00\x00\x00\x08\x00", 10);

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliCovers,
    ::testing::Values(
        CoverCase{"secret.zip", kZipHead + std::string(40, 'z'), false, "not-a-picture",
                  "%s is a zip archive, not a picture; the picture comes first (use --force to "
                  "hide data behind it anyway)"},
        CoverCase{"notes.txt", "just some notes\n", false, "picture-would-break",
                  "%s is a picture in a text format (such as SVG), which shows nothing once "
                  "data follows its end (use --force to hide data in it anyway)"},
        CoverCase{"tool.bin",
                  std::string("\x7f"
                              "ELF\x02\x01\x01",
                              7) +
                      std::string(60, '\0'),
                  false, "not-a-picture",
                  "%s is a program, not a picture; the picture comes first (use --force to "
                  "hide data behind it anyway)"},
        CoverCase{"photo.jpg", std::string("\x01\x02\x03\x04\xfe\xff", 6), false, "not-a-picture",
                  "%s is not a picture Lumora can read; the picture comes first (use --force "
                  "to hide data behind it anyway)"},
        CoverCase{"appended.png", std::string(1000, '\x5a'), true, "cover-holds-data",
                  "%s already holds 1000 bytes after its picture, such as another carrier's "
                  "hidden data, which would stay inside the new carrier (use --force to hide "
                  "data in it anyway)"},
        CoverCase{"named.txt", "", true, "", ""}),
    [](const ::testing::TestParamInfo<CoverCase>& row) {
        std::string name = row.param.name;
        name.erase(name.find('.'), 1);
        return name;
    });

class CliSafety : public CliTest {};

TEST_F(CliSafety, HidingIntoASealedCarrierIsRefusedWithItsSize) {
    const std::string sealed =
        HideInto("sealed.png", {"--sealed", "-m", "old secret"}, "old password");
    const auto trailing = ReadFile(sealed).size() - ReadFile(ReferenceFile("base.png")).size();
    CliResult refused = Run({"hide", sealed, "-o", At("new.png"), "-m", "new"});
    EXPECT_EQ(refused.status, 6);
    EXPECT_NE(refused.err.find("holds " + std::to_string(trailing) + " bytes"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(FileExists(At("new.png")));
}

TEST_F(CliSafety, HidingNothingIsRefused) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string line;
    };
    const std::string nothing =
        "nothing to hide: the message is empty and no files were given; nothing was written";
    const Case cases[] = {
        {{},
         2,
         "nothing to hide: give a message (-m, --message-file, -e) or files\nTry 'lumora-cli "
         "hide --help'."},
        {{"-m", ""}, 1, nothing},
        {{"--message-file", MakeFile("empty.txt", "")}, 1, nothing},
        {{"-e"}, 1, nothing},
    };
    CliOptions editor;
    editor.environment.emplace("EDITOR", "true");
    for (const Case& c : cases) {
        std::vector<std::string> args{"hide", ReferenceFile("base.png"), "-o", At("out.png")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliResult result = Run(args, "pw", editor);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(result.err, ErrorLine(c.line));
        EXPECT_FALSE(FileExists(At("out.png")));
    }
}

struct RevealCase {
    const char* format;
    bool keepsTime;
};

class CliRevealed : public CliTest, public ::testing::WithParamInterface<RevealCase> {};

TEST_P(CliRevealed, FilesArePrivateAndKeepTheirTimeWhereTheFormatStoresIt) {
    constexpr time_t kHiddenAt = 1000000000; // 2001
    const std::string file = MakeFile("public.txt", "everyone may read this");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    const struct timespec times[2] = {{kHiddenAt, 0}, {kHiddenAt, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const std::string carrier = HideInto("c.png", {GetParam().format, file});

    ASSERT_EQ(Run({"reveal", carrier, "-d", At("new/folder")}).status, 0);
    struct stat revealed {};
    ASSERT_EQ(::stat(At("new/folder/public.txt").c_str(), &revealed), 0);
    EXPECT_EQ(revealed.st_mode & 0777, 0600u);
    EXPECT_EQ(revealed.st_mtim.tv_sec == kHiddenAt, GetParam().keepsTime);
    for (const char* folder : {"new", "new/folder"}) {
        struct stat made {};
        ASSERT_EQ(::stat(At(folder).c_str(), &made), 0);
        EXPECT_EQ(made.st_mode & 0777, 0700u) << folder;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliRevealed,
                         ::testing::Values(RevealCase{"--classic", false},
                                           RevealCase{"--sealed", true}),
                         [](const ::testing::TestParamInfo<RevealCase>& row) {
                             return std::string(row.param.format + 2);
                         });

struct PasswordCase {
    std::vector<std::string> args; // after "hide BASE -o OUT -m m -q"
    std::string password;
    std::string warned; // part of the warning; empty: none
};

class CliNewPasswords : public CliTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(CliNewPasswords, WeakOnesAreWarnedAboutEvenWhenQuiet) {
    const PasswordCase& c = GetParam();
    std::vector<std::string> args{
        "hide", ReferenceFile("base.png"), "-o", At("c.png"), "-m", "m", "-q", "--json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliResult hidden = Run(args, c.password);
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    if (c.warned.empty())
        EXPECT_EQ(hidden.err, "");
    else
        EXPECT_NE(hidden.err.find("lumora-cli: warning: this password can be guessed in"),
                  std::string::npos)
            << hidden.err;
    EXPECT_NE(hidden.err.find(c.warned), std::string::npos) << hidden.err;
    EXPECT_NE(hidden.out.find(std::string("\"weak\": ") + (c.warned.empty() ? "false" : "true")),
              std::string::npos)
        << hidden.out;
    EXPECT_NE(hidden.out.find("\"password\": {\"bits\": "), std::string::npos) << hidden.out;
}

INSTANTIATE_TEST_SUITE_P(Formats, CliNewPasswords,
                         ::testing::Values(PasswordCase{{}, "pw", "(--sealed) would take"},
                                           PasswordCase{
                                               {"--sealed"}, "pw", "by a thousand computers"},
                                           PasswordCase{{}, "blue-river-43", "by a graphics card"},
                                           PasswordCase{{"--sealed"}, "blue-river-43", ""},
                                           PasswordCase{{}, "correct horse battery staple", ""}));

TEST_F(CliSafety, PasswdAndConversionsWarnOfTheirNewPassword) {
    const std::string strong = "correct horse battery staple";
    const std::string carrier = HideInto("c.png", {"--sealed", "-m", "m"}, "blue-river-43");
    CliResult converted = Run({"edit", carrier, "--classic", "-q"}, "blue-river-43");
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.err.find("by a graphics card"), std::string::npos) << converted.err;

    CliOptions newPassword;
    newPassword.environment.emplace("NEW", strong);
    CliResult renewed = Run({"passwd", carrier, "--new-password-command", "printenv NEW"},
                            "blue-river-43", newPassword);
    ASSERT_EQ(renewed.status, 0) << renewed.err;
    EXPECT_EQ(renewed.err, "");
    newPassword.environment["NEW"] = "pw";
    CliResult weakened = Run({"passwd", carrier, "--new-password-command", "printenv NEW", "-q"},
                             strong, newPassword);
    ASSERT_EQ(weakened.status, 0) << weakened.err;
    EXPECT_NE(weakened.err.find("lumora-cli: warning: "), std::string::npos) << weakened.err;
}

TEST_F(CliSafety, TheFormatVariableSetsTheDefaultAndAFlagWins) {
    struct Case {
        std::string variable;
        std::vector<std::string> flags;
        int status;
        std::string shown; // the format in the JSON, or part of the error
    };
    const Case cases[] = {
        {"sealed", {}, 0, "sealed"},
        {"sealed", {"--classic"}, 0, "classic"},
        {"classic", {}, 0, "classic"},
        {"classic", {"--sealed"}, 0, "sealed"},
        {"", {}, 0, "classic"},
        {"woven", {}, 2, "LUMORA_FORMAT=woven: this version cannot write woven carriers yet"},
        {"Sealed", {}, 2, "LUMORA_FORMAT must be classic, sealed or woven, not 'Sealed'"},
    };
    const std::string strong = "correct horse battery staple";
    for (const Case& c : cases) {
        CliOptions options;
        options.environment.emplace("LUMORA_FORMAT", c.variable);
        std::vector<std::string> args{
            "hide", ReferenceFile("base.png"), "-o", At("f.png"), "-m", "m", "--json", "--force"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        CliResult result = Run(args, strong, options);
        EXPECT_EQ(result.status, c.status) << c.variable << result.err;
        const std::string& told = c.status == 0 ? result.out : result.err;
        const std::string wanted = c.status == 0 ? "\"format\": \"" + c.shown + "\"" : c.shown;
        EXPECT_NE(told.find(wanted), std::string::npos) << c.variable << ": " << told;
    }
}

} // namespace
