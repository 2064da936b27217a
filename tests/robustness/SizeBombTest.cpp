// SPDX-License-Identifier: GPL-2.0-or-later
// Entries whose size is out of proportion: a decompression bomb, an entry that inflates
// to more than its directory claims, and a huge message entry. Memory is measured in a
// child process (getrusage), so the test runner's own allocations do not count.
#include "RobustnessSupport.h"

#include "engine/BindImage.h"
#include "engine/MessageEntry.h"

#include <filesystem>
#include <sys/resource.h>

namespace lumora::test {
namespace {

// argv: OUT NAME MEGABYTES ; one entry of that many MiB of zeros, deflated as a stream.
constexpr const char* kZeros = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    info = zipfile.ZipInfo(sys.argv[2], date_time=(2020, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    with archive.open(info, "w") as entry:
        chunk = bytes(1 << 20)
        for _ in range(int(sys.argv[3])):
            entry.write(chunk)
)";

// The most memory extraction may add while it streams an entry, in KiB.
constexpr long kMaxGrowthKb = 64 * 1024;

long MaxRssKb() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class SizeBombTest : public RobustnessTest {
protected:
    std::string CarrierWithZeros(const std::string& name, int megabytes) {
        EXPECT_TRUE(RunPython(kZeros, {Path("zeros.zip"), name, std::to_string(megabytes)}));
        std::string carrier = Path("zeros.gif");
        WrapArchive(Path("zeros.zip"), carrier);
        std::filesystem::remove(Path("zeros.zip"));
        return carrier;
    }
};

TEST_F(SizeBombTest, A256MiBBombStreamsToDiskInLittleMemory) {
    std::string carrier = CarrierWithZeros("zeros.bin", 256);
    EXPECT_LT(std::filesystem::file_size(carrier), 1u << 20); // ~256 KB hides 256 MiB
    // 0: extracted whole with little memory; 1: not extracted; 2: too much memory.
    int result = RunInChild([&] {
        CBindImage engine;
        engine.SetPassword(Password(std::string(kPassword)));
        if (engine.OpenCarrier(carrier, OPEN_UNPACK) != 1 || engine.Slot(0).size != 256 << 20)
            return 1;
        long before = MaxRssKb();
        std::string copy;
        if (engine.ExtractHiddenFile(0, copy) != 1 ||
            std::filesystem::file_size(copy) != uint64_t{256} << 20)
            return 1;
        return MaxRssKb() - before < kMaxGrowthKb ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(CacheEntries().empty());
}

TEST_F(SizeBombTest, AnEntryThatInflatesBeyondItsClaimedSizeIsRefused) {
    // make_zip.py patches the entry's size in both headers to 1000 bytes.
    std::string script = std::string(LUMORA_TEST_DATA_DIR) + "/archive/make_zip.py";
    ASSERT_TRUE(RunPython("import runpy, sys; sys.argv = sys.argv[1:]; "
                          "runpy.run_path(sys.argv[0], run_name='__main__')",
                          {script, Path("lying.zip"), "--claim-size", "1000", "big.bin",
                           "@zeros:1000000", "small.txt", "fine"}));
    WrapArchive(Path("lying.zip"), Path("lying.gif"));
    CBindImage engine;
    engine.SetPassword(Password(std::string(kPassword)));
    ASSERT_EQ(engine.OpenCarrier(Path("lying.gif"), OPEN_UNPACK), 1);
    ASSERT_EQ(engine.Slot(0).size, 1000);
    std::string dest = Path("big.bin");
    EXPECT_EQ(engine.ExtractHiddenFile(0, dest), 0);
    EXPECT_EQ(engine.LastStatus().reason, Reason::EntryDamaged);
    EXPECT_EQ(engine.LastStatus().subject, "big.bin");
    EXPECT_FALSE(FileExists(dest));
    EXPECT_TRUE(FolderEntries(engine.WorkDir() + "/FILES/0").empty());
    std::string small = Path("small.txt");
    EXPECT_EQ(engine.ExtractHiddenFile(1, small), 1);
    EXPECT_EQ(ReadText(small), "fine");
}

TEST_F(SizeBombTest, AMessageEntryBeyond64MiBIsLeftUnreadAndTheFilesStayReadable) {
    std::string carrier = CarrierWithZeros(kMessageEntryName, 100);
    int result = RunInChild([&] {
        CBindImage engine;
        engine.SetPassword(Password(std::string(kPassword)));
        if (engine.OpenCarrier(carrier, OPEN_INSPECT) != 1)
            return 1;
        long before = MaxRssKb();
        if (engine.UnpackPayload() != 1 || engine.GetMessageState() != MessageState::TooLarge ||
            engine.Message())
            return 1;
        return MaxRssKb() - before < kMaxGrowthKb ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << "1: the message was read, 2: too much memory";
    EXPECT_TRUE(CacheEntries().empty());
}

TEST_F(SizeBombTest, AMessageBeyond64MiBIsNotSaved) {
    std::string image = MakeFile("picture.gif", 1000);
    CBindImage engine;
    engine.SetPassword(Password(std::string(kPassword)));
    ASSERT_EQ(engine.OpenCarrier(image, OPEN_UNPACK), 1);
    // 32 MiB of line breaks are stored as 64 MiB of CR LF, plus the closing NUL.
    engine.SetMessage(std::string(32 << 20, '\n'));
    EXPECT_EQ(engine.SaveCarrier(Path("out.gif")), 0);
    EXPECT_EQ(std::pair(engine.LastStatus().reason, engine.LastStatus().limit),
              std::pair(Reason::MessageTooLarge, kMaxMessageEntrySize));
    EXPECT_FALSE(FileExists(Path("out.gif")));
    // A large message within the bound is kept exactly.
    std::string message(1 << 20, 'm');
    message.replace(100, 2, "\r\n");
    engine.SetMessage(message);
    ASSERT_EQ(engine.SaveCarrier(Path("out.gif")), 1) << ReasonName(engine.LastStatus().reason);
    EXPECT_EQ(Reveal(Path("out.gif")).message, std::optional<std::string>(message));
}

} // namespace
} // namespace lumora::test
