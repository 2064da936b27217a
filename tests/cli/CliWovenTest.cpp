// SPDX-License-Identifier: GPL-2.0-or-later
// Woven carriers through lumora-cli: hide --woven into each kind of picture and every
// reading command on it, what opens nothing, capacity, edits, conversions and strip.
#include "../weave/CoverPictures.h"
#include "picture/PictureEnd.h"
#include "support/CliTest.h"

#include <filesystem>
#include <png.h>

using namespace lumora;
using namespace lumora::test;

namespace {

const std::string kNotOpened = "no hidden data found, or the password does not open it";

Bytes Jpeg(bool progressive, int components) {
    JpegRecipe recipe;
    recipe.components = components;
    recipe.progressive = progressive;
    recipe.width = 256;
    recipe.height = 192;
    return MakeJpeg(recipe);
}

Bytes Png(int colourType) {
    PngRecipe recipe;
    recipe.colourType = colourType;
    recipe.width = 200;
    recipe.height = 150;
    return MakePng(recipe);
}

struct PictureCase {
    const char* name;
    Bytes (*make)();
};
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

const PictureCase kPictures[] = {
    {"jpeg", [] { return Jpeg(false, 3); }},
    {"progressive_jpeg", [] { return Jpeg(true, 3); }},
    {"grey_jpeg", [] { return Jpeg(false, 1); }},
    {"grey_png", [] { return Png(PNG_COLOR_TYPE_GRAY); }},
    {"rgba_png", [] { return Png(PNG_COLOR_TYPE_RGBA); }},
    {"bmp", [] { return MakeBmp(24, false, 0, 0xFF0000, 100, 80); }},
};

bool EndsWithPicture(const std::string& path) {
    const Bytes bytes = ReadFile(path);
    const PictureLayout layout = InspectPicture(MemorySource(bytes));
    return layout.end.status == EndStatus::Found && !layout.HasTrailingBytes();
}

class CliWoven : public CliTest {
protected:
    std::string Picture(const Bytes& bytes, const std::string& name = "cover") {
        WriteFile(At(name), bytes);
        return At(name);
    }

    // Hides the note and f.bin (of `fileBytes`) woven into `cover`; the exit status.
    CliResult HideWoven(const std::string& cover, const std::string& out, size_t fileBytes,
                        std::vector<std::string> extra = {}) {
        WriteFile(At("f.bin"), PseudoRandomBytes(fileBytes, 21));
        std::vector<std::string> args{"hide", cover, "-o", out, "-m", "woven note", At("f.bin")};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
};

class CliWovenKinds : public CliWoven,
                      public ::testing::WithParamInterface<std::tuple<PictureCase, size_t>> {};

TEST_P(CliWovenKinds, EveryReadingCommandOpensAWovenPicture) {
    const auto& [picture, fileBytes] = GetParam();
    const std::string cover = Picture(picture.make());
    const std::string woven = At("woven");
    const CliResult hidden = HideWoven(cover, woven, fileBytes, {"--woven", "--force"});
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_TRUE(EndsWithPicture(woven));
    const std::string size = std::to_string(fileBytes);
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"reveal", woven}, "woven note"},
        {{"list", "--json", woven},
         "[{\"file\": \"" + woven +
             "\", \"code\": \"ok\", \"entries\": [{\"name\": \"f.bin\", "
             "\"size\": " +
             size + ", \"damaged\": false}]}]\n"},
        {{"verify", woven}, woven + ": intact (1 hidden file and the message checked)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const CliResult result = Run(c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, c.out);
    }
    ASSERT_EQ(Run({"extract", woven, "f.bin", "-d", At("out")}).status, 0);
    EXPECT_EQ(ReadFile(At("out/f.bin")), ReadFile(At("f.bin")));
    EXPECT_NE(Run({"info", "--json", woven}).out.find("\"hiddenData\": \"woven\""),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Pictures, CliWovenKinds,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::Values(size_t{10}, size_t{400})));

// A wrong password, a picture without woven data and a recompressed copy: exit 4, and
// reveal -d writes nothing.
TEST_F(CliWoven, WhatOpensNothingWritesNothing) {
    const Bytes jpeg = Jpeg(false, 3);
    const std::string cover = Picture(jpeg);
    const std::string woven = At("woven.jpg");
    ASSERT_EQ(HideWoven(cover, woven, 50, {"--woven", "--force"}).status, 0);
    const std::string recompressed = Picture(RecompressJpeg(ReadFile(woven), 90), "again.jpg");
    const struct {
        const char* name;
        std::string file;
        std::string password;
    } cases[] = {
        {"wrong password", woven, "wrong"},
        {"no woven data", cover, "pw"},
        {"recompressed", recompressed, "pw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult result = Run({"reveal", c.file, "-d", At("out")}, c.password);
        EXPECT_EQ(result.status, 4);
        EXPECT_EQ(result.err, ErrorLine(kNotOpened));
        EXPECT_FALSE(std::filesystem::exists(At("out/f.bin")));
    }
}

TEST_F(CliWoven, RefusesContentAboveCapacityUnlessForced) {
    const std::string cover = Picture(Png(PNG_COLOR_TYPE_RGB));
    const CliResult info = Run({"info", "--capacity", "--json", cover}, std::nullopt);
    ASSERT_EQ(info.status, 0) << info.err;
    const size_t at = info.out.find("\"capacityBytes\": ");
    ASSERT_NE(at, std::string::npos) << info.out;
    const uint64_t capacity = std::stoull(info.out.substr(at + 17));
    EXPECT_NE(Run({"info", "--capacity", cover}, std::nullopt)
                  .out.find(": can carry " + std::to_string(capacity) + " bytes woven"),
              std::string::npos);

    const CliResult refused = HideWoven(cover, At("out.png"), capacity + 100, {"--woven"});
    EXPECT_EQ(refused.status, 6);
    EXPECT_NE(refused.err.find("can carry " + std::to_string(capacity) + " bytes woven"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(At("out.png")));
    EXPECT_EQ(HideWoven(cover, At("out.png"), capacity + 100, {"--woven", "--force"}).status, 0);
    EXPECT_EQ(Run({"reveal", At("out.png")}).out, "woven note");
}

TEST_F(CliWoven, LumoraFormatChoosesWovenWhereNoOptionDoes) {
    const std::string cover = Picture(Png(PNG_COLOR_TYPE_RGB));
    CliOptions woven;
    woven.environment["LUMORA_FORMAT"] = "woven";
    ASSERT_EQ(Run({"hide", cover, "-o", At("w.png"), "-m", "note"}, "pw", woven).status, 0);
    EXPECT_TRUE(EndsWithPicture(At("w.png")));
    ASSERT_EQ(
        Run({"hide", cover, "-o", At("c.png"), "-m", "note", "--classic"}, "pw", woven).status, 0);
    EXPECT_FALSE(EndsWithPicture(At("c.png")));
    CliOptions wrong;
    wrong.environment["LUMORA_FORMAT"] = "braided";
    EXPECT_EQ(Run({"hide", cover, "-o", At("x.png"), "-m", "note"}, "pw", wrong).status, 2);
}

// edit and passwd weave again into the picture and keep the message and every file.
TEST_F(CliWoven, EditAndPasswdKeepEveryFile) {
    const std::string cover = Picture(Png(PNG_COLOR_TYPE_RGB));
    const std::string woven = At("woven.png");
    ASSERT_EQ(HideWoven(cover, woven, 80, {"--woven", "--force"}).status, 0);
    const std::string added = MakeFile("added.txt", "added\n");
    ASSERT_EQ(Run({"edit", woven, "--add", added, "--force"}).status, 0);
    const std::string newPassword = MakeFile("new.txt", "new password\n");
    ASSERT_EQ(Run({"passwd", woven, "--new-password-file", newPassword, "--force"}).status, 0);
    EXPECT_TRUE(EndsWithPicture(woven));
    EXPECT_EQ(Run({"reveal", woven, "-d", At("out")}, "new password").out, "woven note");
    EXPECT_EQ(ReadFile(At("out/f.bin")), ReadFile(At("f.bin")));
    EXPECT_EQ(ReadText(At("out/added.txt")), "added\n");
    EXPECT_EQ(Run({"reveal", woven}, "pw").status, 4);
}

// Conversions in six directions keep the content; leaving woven, or going from sealed into
// woven, is refused without --force (exit 6) and leaves the carrier as it was.
TEST_F(CliWoven, ConvertsInSixDirections) {
    const std::string cover = Picture(Png(PNG_COLOR_TYPE_RGB));
    const struct {
        const char* from;
        const char* to;
        bool needsForce;
    } cases[] = {
        {"classic", "sealed", false}, {"classic", "woven", false}, {"sealed", "classic", false},
        {"sealed", "woven", true},    {"woven", "classic", true},  {"woven", "sealed", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        const std::string carrier = At("carrier.png");
        ASSERT_EQ(HideWoven(cover, carrier, 60, {std::string("--") + c.from, "--force"}).status, 0);
        const Bytes before = ReadFile(carrier);
        if (c.needsForce) {
            const CliResult refused = Run({"edit", carrier, std::string("--") + c.to});
            EXPECT_EQ(refused.status, 6);
            EXPECT_NE(refused.err.find("old password still opens it"), std::string::npos);
            EXPECT_EQ(ReadFile(carrier), before);
        }
        const CliResult converted =
            Run({"edit", carrier, std::string("--") + c.to, "--force", "--json"});
        ASSERT_EQ(converted.status, 0) << converted.err;
        EXPECT_NE(converted.out.find(std::string("\"format\": \"") + c.to + "\""),
                  std::string::npos);
        EXPECT_EQ(Run({"reveal", carrier, "-d", At("out"), "--force"}).out, "woven note");
        EXPECT_EQ(ReadFile(At("out/f.bin")), ReadFile(At("f.bin")));
    }
}

TEST_F(CliWoven, StripSaysWovenDataCannotBeStripped) {
    const std::string cover = Picture(Png(PNG_COLOR_TYPE_RGB));
    const std::string woven = At("woven.png");
    ASSERT_EQ(HideWoven(cover, woven, 30, {"--woven", "--force"}).status, 0);
    const CliResult stripped = Run({"strip", woven, "-o", At("plain.png")});
    EXPECT_EQ(stripped.status, 4);
    EXPECT_NE(stripped.err.find("woven data inside a picture cannot be stripped"),
              std::string::npos)
        << stripped.err;
    EXPECT_FALSE(std::filesystem::exists(At("plain.png")));
}

TEST_F(CliWoven, RefusesAPaletteCoverSayingWhatWouldWork) {
    PngRecipe palette;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    const std::string cover = Picture(MakePng(palette));
    const CliResult refused = HideWoven(cover, At("out.png"), 10, {"--woven"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("convert it to a true-colour PNG first"), std::string::npos)
        << refused.err;
    const CliResult capacity = Run({"info", "--capacity", "--json", cover}, std::nullopt);
    EXPECT_EQ(ReasonIn(capacity.out), "woven-palette");
}

} // namespace
