// SPDX-License-Identifier: GPL-2.0-or-later
// Damage anywhere in an archive must never crash the reader nor yield wrong bytes that
// count as a successful extraction.
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace lumora {
namespace {

using test::ReadText;
using test::TempDir;

TEST(CorruptArchive, EveryDamagedByteFailsSafely) {
    TempDir dir;
    std::vector<std::string> contents = {"first file", std::string(3000, 'r'), "sub text"};
    std::filesystem::create_directories(dir / "src/sub");
    test::WriteText(dir / "src/one.txt", contents[0]);
    test::WriteText(dir / "src/two.txt", contents[1]);
    test::WriteText(dir / "src/sub/three.txt", contents[2]);

    for (const std::optional<std::string>& password :
         {std::optional<std::string>("pw"), std::optional<std::string>()}) {
        std::string archive = dir / "good.zip";
        const Password* zipPassword = test::KeptPassword(password);
        CZipper zipper(archive, dir / "src", 0);
        zipper.SetPassword(zipPassword);
        ASSERT_EQ(1, zipper.AddFile("one.txt", false));
        ASSERT_EQ(1, zipper.AddFile("two.txt", false));
        ASSERT_EQ(1, zipper.AddFile("sub/three.txt", false));
        ASSERT_EQ(1, zipper.Close());
        const auto good = test::ReadFile(archive);

        for (size_t at = 0; at < good.size(); ++at) {
            for (uint8_t pattern : {uint8_t{0xFF}, uint8_t{0x01}}) {
                SCOPED_TRACE("byte " + std::to_string(at));
                auto bad = good;
                bad[at] ^= pattern;
                std::string damaged = dir / "bad.zip";
                test::WriteFile(damaged, bad);
                std::string out = dir / "out/target";
                std::filesystem::remove_all(dir / "out");
                std::filesystem::create_directories(dir / "out");

                CUnzipper unzipper(damaged);
                unzipper.SetPassword(zipPassword);
                // Refusing is as good as extracting here; what lands is checked below.
                for (int k = 0; k < std::min(unzipper.EntryCount(), 10); ++k)
                    static_cast<void>(unzipper.ExtractEntryAt(k, out));

                // Whatever was extracted lies inside the target folder and is the true
                // content of some entry.
                for (const auto& item :
                     std::filesystem::recursive_directory_iterator(dir / "out")) {
                    if (!item.is_regular_file())
                        continue;
                    EXPECT_TRUE(item.path().string().starts_with(out + "/"));
                    std::string text = ReadText(item.path().string());
                    EXPECT_NE(contents.end(), std::find(contents.begin(), contents.end(), text))
                        << item.path();
                }
            }
        }
    }
}

} // namespace
} // namespace lumora
