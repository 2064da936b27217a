// SPDX-License-Identifier: GPL-2.0-or-later
// What lumora-cli does for a careless user: covers that are no picture or already hold
// data, hiding nothing, weak new passwords, the default format, private revealed files.
#include "support/CliTest.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace lumora::test;

namespace {

class CliSafety : public CliTest {};

TEST_F(CliSafety, OnlyPlainPicturesAreCoversWithoutForce) {
    const std::string png = ReadText(ReferenceFile("base.png"));
    const std::string keep = " (use --force to hide data behind it anyway)";
    const std::string cases[][3] = {
        {"secret.zip", std::string("PK\x03\x04\x14\0\0\0\x08\0", 10) + std::string(40, 'z'),
         "%s is a zip archive, not a picture; the picture comes first" + keep},
        {"photo.jpg", "\x01\x02\x03\xfe",
         "%s is not a picture Lumora can read; the picture comes first" + keep},
        {"old.png", png + std::string(1000, 'Z'),
         "%s already holds 1000 bytes after its picture, such as another carrier's hidden data, "
         "which would stay inside the new carrier (use --force to hide data in it anyway)"},
        {"named.txt", png, ""},
    };
    for (const auto& [name, content, line] : cases) {
        const std::string cover = MakeFile(name, content);
        std::string expected = line;
        if (!line.empty())
            expected = ErrorLine(expected.replace(expected.find("%s"), 2, cover));
        const std::string out = cover + ".out.png";
        CliResult hidden =
            Run({"hide", cover, "-m", "m", "-o", out}, "correct horse battery staple");
        EXPECT_EQ(hidden.status, line.empty() ? 0 : 6) << name;
        EXPECT_EQ(hidden.err, expected);
        EXPECT_EQ(Run({"hide", cover, "-m", "m", "-o", out, "--force"}).status, 0);
    }
}

TEST_F(CliSafety, HidingNothingIsRefused) {
    const std::string nothing =
        "nothing to hide: the message is empty and no files were given; nothing was written";
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{},
         2,
         "nothing to hide: give a message (-m, --message-file, -e) or files\nTry 'lumora-cli hide "
         "--help'."},
        {{"-m", ""}, 1, nothing},
        {{"-e"}, 1, nothing},
    };
    CliOptions editor;
    editor.environment.emplace("EDITOR", "true");
    for (const auto& [extra, status, line] : cases) {
        std::vector<std::string> args{"hide", ReferenceFile("base.png"), "-o", At("out.png")};
        args.insert(args.end(), extra.begin(), extra.end());
        CliResult result = Run(args, "pw", editor);
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.err, ErrorLine(line));
        EXPECT_FALSE(FileExists(At("out.png")));
    }
}

TEST_F(CliSafety, WeakNewPasswordsAreWarnedAboutEvenWhenQuiet) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        // format, password, part of the warning (empty: none)
        {"--classic", "pw", "(--sealed) would take"},
        {"--sealed", "pw", "by a thousand computers"},
        {"--classic", "blue-river-43", "by a graphics card"},
        {"--sealed", "blue-river-43", ""},
    };
    for (const auto& [format, password, warned] : cases) {
        CliResult hidden = Run({"hide", ReferenceFile("base.png"), "-o", At("c.png"), "-m", "m",
                                "-q", "--json", "--force", format},
                               password);
        ASSERT_EQ(hidden.status, 0) << hidden.err;
        EXPECT_EQ(hidden.err.find("lumora-cli: warning: "), warned.empty() ? std::string::npos : 0);
        EXPECT_NE(hidden.err.find(warned), std::string::npos) << hidden.err;
        EXPECT_NE(hidden.out.find("\"weak\": " + std::string(warned.empty() ? "false" : "true")),
                  std::string::npos)
            << hidden.out;
    }
    CliResult converted = Run({"edit", At("c.png"), "--classic", "-q"}, "blue-river-43");
    EXPECT_NE(converted.err.find("by a graphics card"), std::string::npos) << converted.err;
    CliResult renewed =
        Run({"passwd", At("c.png"), "--new-password-command", "echo pw"}, "blue-river-43");
    EXPECT_EQ(renewed.err.find("lumora-cli: warning: "), 0u) << renewed.err;
}

TEST_F(CliSafety, TheFormatVariableSetsTheDefaultAndAFlagWins) {
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"sealed", "", 0, "\"format\": \"sealed\""},
        {"sealed", "--classic", 0, "\"format\": \"classic\""},
        {"", "", 0, "\"format\": \"classic\""},
        {"woven", "", 0, "\"format\": \"woven\""},
        {"Sealed", "", 2, "LUMORA_FORMAT must be classic, sealed or woven, not 'Sealed'"},
    };
    for (const auto& [variable, flag, status, shown] : cases) {
        CliOptions options;
        options.environment.emplace("LUMORA_FORMAT", variable);
        std::vector<std::string> args{
            "hide", ReferenceFile("base.png"), "-o", At("f.png"), "-m", "m", "--json", "--force"};
        if (!flag.empty())
            args.push_back(flag);
        CliResult result = Run(args, "correct horse battery staple", options);
        EXPECT_EQ(result.status, status) << variable << result.err;
        EXPECT_NE((status == 0 ? result.out : result.err).find(shown), std::string::npos)
            << variable;
    }
}

TEST_F(CliSafety, RevealedFilesArePrivateAndSealedOnesKeepTheirTime) {
    constexpr time_t kHiddenAt = 1000000000; // 2001
    const std::string file = MakeFile("public.txt", "everyone may read this");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    const struct timespec times[2] = {{kHiddenAt, 0}, {kHiddenAt, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    for (const std::string format : {"--classic", "--sealed"}) {
        const std::string out = At(format.substr(2) + "/folder");
        ASSERT_EQ(Run({"reveal", HideInto("c.png", {format, file, "--force"}), "-d", out}).status,
                  0);
        struct stat made {};
        ASSERT_EQ(::stat((out + "/public.txt").c_str(), &made), 0);
        EXPECT_EQ(made.st_mode & 0777, 0600u);
        EXPECT_EQ(made.st_mtim.tv_sec == kHiddenAt, format == "--sealed");
        for (const std::string& folder : {out, out.substr(0, out.rfind('/'))}) {
            ASSERT_EQ(::stat(folder.c_str(), &made), 0);
            EXPECT_EQ(made.st_mode & 0777, 0700u) << folder;
        }
    }
}

} // namespace
