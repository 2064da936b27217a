// SPDX-License-Identifier: GPL-2.0-or-later
// An archive read by position (a payload deciphered from its carrier as it is read) must
// read exactly as the same bytes in a file, whoever wrote them, on one thread and on
// several, and a source that stops giving bytes must read as damage.
#include "archive/ArchiveBytes.h"
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

class MemoryBytes final : public ArchiveBytes {
public:
    explicit MemoryBytes(Bytes bytes, uint64_t readable = UINT64_MAX)
        : m_bytes(std::move(bytes)), m_readable(readable) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, uint8_t* out, size_t length) const override {
        if (offset + length > m_readable)
            return false;
        std::memcpy(out, m_bytes.data() + offset, length);
        return true;
    }

private:
    Bytes m_bytes;
    uint64_t m_readable; // bytes past this cannot be read
};

// What a reader makes of an archive: its entries, each one's check, and its bytes.
std::vector<std::string> Reading(CUnzipper& archive, int threads) {
    std::vector<std::string> seen;
    archive.SetPassword(test::KeptPassword("pw"));
    archive.SetThreads(threads);
    seen.push_back("complete " + std::to_string(archive.DirectoryComplete()));
    std::vector<int> all;
    for (int k = 0; k < archive.EntryCount(); ++k) {
        ZipEntryInfo info;
        EXPECT_EQ(archive.EntryInfoAt(k, info), 1) << k;
        std::string data;
        const EntryCheck read = archive.ReadEntryAt(k, [&data](const uint8_t* d, size_t n) {
            data.append(reinterpret_cast<const char*>(d), n);
            return true;
        });
        seen.push_back(info.name + " " + test::Code(read) + " " + test::Sha256Hex(data));
        all.push_back(k);
    }
    int failed = -1;
    seen.push_back(std::string("all ") + test::Code(archive.VerifyEntries(all, &failed)) + " " +
                   std::to_string(failed));
    return seen;
}

TEST(ArchiveBytes, ReadsAsTheSameBytesInAFile) {
    test::TempDir dir;
    test::WriteText(dir / "a.txt", std::string(300000, 'a') + "end");
    test::WriteFile(dir / "noise.bin", test::PseudoRandomBytes(700000, 3));
    test::WriteText(dir / "empty.txt", "");
    const std::string ours = dir / "ours.zip";
    {
        CZipper zipper(ours, std::nullopt, 0);
        zipper.SetPassword(test::KeptPassword("pw"));
        for (const char* name : {"a.txt", "noise.bin", "empty.txt"})
            ASSERT_EQ(zipper.AddFile(dir / name, false), 1);
        ASSERT_EQ(zipper.Close(), 1);
    }
    std::vector<std::string> archives = {ours};
    // Info-ZIP's own layout: extra fields, and data descriptors when it streams.
    if (test::MakeZipWithInfoZip(dir / "infozip.zip", dir.Path(), "a.txt noise.bin empty.txt", "pw",
                                 false))
        archives.push_back(dir / "infozip.zip");
    if (test::MakeZipWithInfoZip(dir / "piped.zip", dir.Path(), "a.txt noise.bin", "pw", true))
        archives.push_back(dir / "piped.zip");
    Bytes emptyArchive = {'P', 'K', 5, 6};
    emptyArchive.resize(22);
    test::WriteFile(dir / "empty.zip", emptyArchive);
    archives.push_back(dir / "empty.zip");

    for (const std::string& path : archives) {
        for (size_t padding : {0, 15}) {
            for (int threads : {1, 3}) {
                SCOPED_TRACE(path + " padded by " + std::to_string(padding) + " on " +
                             std::to_string(threads));
                Bytes bytes = test::ReadFile(path);
                bytes.resize(bytes.size() + padding);
                const std::string padded = dir / "padded.zip";
                test::WriteFile(padded, bytes);
                CUnzipper fromFile;
                ASSERT_EQ(fromFile.OpenChecked(padded), EntryCheck::Ok);
                const MemoryBytes memory(bytes);
                CUnzipper byPosition;
                ASSERT_EQ(byPosition.OpenChecked(memory), EntryCheck::Ok);
                EXPECT_EQ(Reading(byPosition, threads), Reading(fromFile, threads));
            }
        }
    }
}

TEST(ArchiveBytes, ASourceThatStopsGivingBytesIsDamage) {
    test::TempDir dir;
    test::WriteFile(dir / "noise.bin", test::PseudoRandomBytes(200000, 4));
    const std::string path = dir / "a.zip";
    {
        CZipper zipper(path, std::nullopt, 0);
        zipper.SetPassword(test::KeptPassword("pw"));
        ASSERT_EQ(zipper.AddFile(dir / "noise.bin", false), 1);
        ASSERT_EQ(zipper.Close(), 1);
    }
    const Bytes bytes = test::ReadFile(path);
    // Unreadable from within the data, and from within the directory at the end.
    for (uint64_t readable : {uint64_t{100000}, uint64_t{bytes.size() - 30}}) {
        SCOPED_TRACE(readable);
        const MemoryBytes memory(bytes, readable);
        CUnzipper archive;
        const EntryCheck opened = archive.OpenChecked(memory);
        if (opened == EntryCheck::Ok) {
            archive.SetPassword(test::KeptPassword("pw"));
            EXPECT_EQ(archive.VerifyEntryAt(0), EntryCheck::Damaged);
        } else {
            EXPECT_EQ(opened, EntryCheck::Damaged);
        }
    }
}

} // namespace
} // namespace lumora
