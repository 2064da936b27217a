// SPDX-License-Identifier: GPL-2.0-or-later
// A large entry deciphered in stretches from the writer's keys reads exactly as from one
// reader, and keys that do not join read as damage, never as other bytes.
#include "archive/CipherCheckpoints.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(CheckpointDecipher, StretchesReadAsOneReaderAndKeysThatDoNotJoinAreDamage) {
    test::TempDir dir;
    const std::string archive = dir / "a.zip";
    // Noise does not compress: 13 whole stretches of stored data and a piece of one, more
    // than the stretches one reader keeps, in groups of four and a bit.
    const Bytes noise = test::PseudoRandomBytes(13 * kCheckpointSpacing + 1000, 1);
    const Bytes small = {'s'};
    const Password password("pw");
    CipherCheckpoints written;
    {
        CZipper zipper;
        ASSERT_TRUE(zipper.Open(archive, std::string(), 0));
        zipper.SetPassword(&password);
        zipper.SetThreads(2);
        zipper.RecordCipherCheckpoints(&written);
        ASSERT_TRUE(zipper.AddBytesAs("small", small.data(), small.size()));
        ASSERT_TRUE(zipper.AddBytesAs("noise", noise.data(), noise.size()));
        ASSERT_TRUE(zipper.Close());
    }
    EXPECT_TRUE(written.Of(0).empty());
    const std::vector<PkwareKeys> points(written.Of(1).begin(), written.Of(1).end());
    ASSERT_EQ(points.size(), 13u);

    struct Case {
        const char* what;
        std::vector<PkwareKeys> points;
        EntryCheck check;
    };
    std::vector<Case> cases = {
        {"as written", points, EntryCheck::Ok},
        {"the last ones left out", {points.begin(), points.begin() + 2}, EntryCheck::Ok},
        {"all but the last group's", {points.begin(), points.begin() + 9}, EntryCheck::Ok},
        {"a point off", points, EntryCheck::Damaged},
        {"the first point off", points, EntryCheck::Damaged},
        {"the last point off", points, EntryCheck::Damaged},
        {"a point the data do not reach", points, EntryCheck::Damaged},
    };
    cases[3].points[6][1] ^= 1;
    cases[4].points[0][0] ^= 0x100;
    cases[5].points.back()[2] ^= 0x80000000u;
    cases[6].points.push_back(points.back());
    for (const Case& c : cases) {
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::string(c.what) + ", threads " + std::to_string(threads));
            CipherCheckpoints given;
            for (const PkwareKeys& keys : c.points)
                given.Add(1, keys);
            CUnzipper reader;
            ASSERT_TRUE(reader.Open(archive));
            reader.SetPassword(&password);
            reader.SetThreads(threads);
            reader.SetCipherCheckpoints(&given);
            Bytes read;
            const EntryCheck check = reader.ReadEntryAt(1, [&read](const uint8_t* data, size_t n) {
                read.insert(read.end(), data, data + n);
                return true;
            });
            EXPECT_EQ(check, c.check);
            EXPECT_TRUE(c.check != EntryCheck::Ok || read == noise);
        }
    }
}

} // namespace
} // namespace lumora
