// SPDX-License-Identifier: GPL-2.0-or-later
// A failing save never touches its destination, bad carriers fail without harm, and a
// cancelled operation leaves nothing behind.
#include "EngineTestSupport.h"

#include "archive/Unzipper.h"
#include "crypt/PayloadCrypt.h"
#include "engine/TrailerCodec.h"

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {
namespace {

class SaveSafetyTest : public EngineTest {
protected:
    // Every path below the test folder except the cache, to see that nothing was written.
    std::set<std::string> FilesOutsideCache() const {
        std::set<std::string> paths;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path())) {
            std::string path = entry.path().string();
            if (path.rfind(CacheFolder(), 0) != 0)
                paths.insert(path);
        }
        return paths;
    }
};

class Canceller : public CProgressObserver {
public:
    explicit Canceller(std::string stopAt) : m_stopAt(std::move(stopAt)) {}
    bool OnProgress(ProgressStep id, int64_t done, int64_t total) override {
        const std::string step = ProgressStepName(id);
        EXPECT_LE(done, total) << step;
        steps.insert(step);
        return m_stopAt != step;
    }
    std::set<std::string> steps;

private:
    std::string m_stopAt;
};

TEST_F(SaveSafetyTest, FailedSavesLeaveTheDestinationAsItWas) {
    const std::string image = MakeImage();
    const std::string dest = MakeFile("dest.bmp", {'o', 'l', 'd'});
    const std::string big = MakeFile("big.bin", {});
    ASSERT_EQ(::truncate(big.c_str(), int64_t{1} << 31), 0); // sparse: costs no disk
    const std::string empty = MakeFile("empty.bmp", {});
    // Refused before a byte of it is copied (the file is sparse).
    const std::string huge = MakeFile("huge.bmp", {'B', 'M'});
    ASSERT_EQ(::truncate(huge.c_str(), kMaxCarrierSize), 0);
    // A link is never written through, whether its target exists or not.
    const std::string link = Path("link.bmp");
    const std::string dangling = Path("dangling.bmp");
    std::filesystem::create_symlink(dest, link);
    std::filesystem::create_symlink(Path("new.bmp"), dangling);

    struct Case {
        std::string image;
        std::string dest;
        std::optional<std::string> password;
        std::vector<std::string> files;
        Reason reason;
        std::string subject;
        int error = 0;
    };
    const Case cases[] = {
        {image, dest, std::nullopt, {}, Reason::NoPassword, ""},
        {image, dest, "pw", {Path("a.txt")}, Reason::ReadFailed, Path("a.txt"), ENOENT},
        {image, dest, "pw", {m_dir.Path()}, Reason::ReadFailed, m_dir.Path(), EISDIR},
        {image, dest, "pw", {big}, Reason::FileTooLarge, big},
        {empty, dest, "pw", {}, Reason::EmptyPicture, empty},
        {Path("no-image.bmp"), dest, "pw", {}, Reason::ReadFailed, Path("no-image.bmp"), ENOENT},
        {image,
         Path("missing/dest.bmp"),
         "pw",
         {},
         Reason::WriteFailed,
         Path("missing/dest.bmp"),
         ENOENT},
        {image, m_dir.Path(), "pw", {}, Reason::WriteFailed, m_dir.Path(), EISDIR},
        {image,
         dest + "/under-a-file.bmp",
         "pw",
         {},
         Reason::WriteFailed,
         dest + "/under-a-file.bmp",
         ENOTDIR},
        {image, link, "pw", {}, Reason::DestinationIsLink, link, ELOOP},
        {image, dangling, "pw", {}, Reason::DestinationIsLink, dangling, ELOOP},
        {huge, dest, "pw", {}, Reason::PictureTooLarge, huge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image + " -> " + c.dest);
        Status failure;
        EXPECT_EQ(Hide(c.image, c.dest, c.password, "m", c.files, &failure), 0);
        EXPECT_EQ(std::tuple(failure.reason, failure.subject, failure.error),
                  std::tuple(c.reason, c.subject, c.error));
    }
    EXPECT_EQ(ReadText(dest), "old");
    EXPECT_EQ(FilesOutsideCache(),
              (std::set<std::string>{image, dest, big, huge, empty, link, dangling}));
}

TEST_F(SaveSafetyTest, AFullDiskFailsTheSaveAndKeepsTheOldCarrier) {
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeFile("big.bmp", PseudoRandomBytes(300000, 3)), carrier, "pw", "m", {}), 1);
    Bytes before = ReadFile(carrier);

    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_UNPACK), 1);
    engine.SetMessage("a longer message that would replace the old one");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files may not grow past 100 KB: the 300 KB carrier cannot be written.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int saved = engine.SaveCarrier(carrier);
        const Status& failed = engine.LastStatus();
        bool reported = failed.reason == Reason::WriteFailed && failed.subject == carrier &&
                        failed.error == EFBIG;
        ::_exit(saved == 0 && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(carrier), before);
    EXPECT_EQ(FilesOutsideCache(), (std::set<std::string>{Path("big.bmp"), carrier}));
}

TEST_F(SaveSafetyTest, DamagedCarriersFailWithoutWritingOutsideTheWorkingFolder) {
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "msg", {MakeFile("f.txt", Bytes(500, 'x'))}), 1);
    Bytes good = ReadFile(carrier);
    std::set<std::string> before = FilesOutsideCache();

    EXPECT_EQ(Reveal(carrier, "wrong").unpacked, 0); // refused by the check record
    CBindImage wrong;
    wrong.SetPassword(Password("wrong"));
    ASSERT_EQ(wrong.OpenCarrier(carrier, OPEN_UNPACK), 1);
    EXPECT_EQ(wrong.LastStatus().reason, Reason::WrongPassword);

    // Truncated: without its trailer the file reads as a plain image.
    WriteFile(carrier, Bytes(good.begin(), good.end() - 10));
    CBindImage truncated;
    EXPECT_EQ(truncated.OpenCarrier(carrier, OPEN_INSPECT), 0);

    // A flipped byte anywhere in the payload must never crash or escape the folder; in
    // the signature or the archive's directory it makes the payload unreadable.
    size_t payloadEnd = good.size() - kTrailerSize;
    for (size_t at = 1000; at < payloadEnd; at += 13) {
        Bytes bad = good;
        bad[at] ^= 0x40;
        WriteFile(carrier, bad);
        Revealed revealed = Reveal(carrier, "pw");
        if (at < 1032 || at >= payloadEnd - 16) {
            EXPECT_EQ(revealed.unpacked, 0) << at;
        }
    }
    EXPECT_EQ(FilesOutsideCache(), before);
}

TEST_F(SaveSafetyTest, UnsafeEntryNamesAreNeverExtractedAndCarriedOverByTheResave) {
    std::string archive = PythonZip("evil.zip", "z.writestr('../evil.txt', 'x')\n"
                                                "z.writestr('/tmp/lumora-evil.txt', 'y')");
    std::string path = WrapArchive(archive, "evil.bmp", "pw");
    const Bytes carrier = ReadFile(path);
    std::set<std::string> before = FilesOutsideCache();

    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(path, OPEN_UNPACK), 1);
    // Such names get no slot, so nothing can extract them; a save keeps them as stored.
    FileSlot slot;
    EXPECT_EQ(engine.FirstFileSlot(slot), -1);
    ASSERT_EQ(engine.ReplaceContent(std::string("m"), {}, {}), 1);
    engine.SetCarriedEntries({0, 1});
    ASSERT_EQ(engine.SaveCarrier(path), 1) << ReasonName(engine.LastStatus().reason);
    std::vector<std::string> names;
    ZipEntryInfo info;
    CUnzipper unzipper(engine.PayloadTempPath());
    for (int i = 0; unzipper.EntryInfoAt(i, info); ++i)
        names.push_back(info.storedName);
    EXPECT_EQ(names,
              (std::vector<std::string>{"../evil.txt", "/tmp/lumora-evil.txt", kMessageEntryName}));
    EXPECT_FALSE(FileExists(Path("../evil.txt")));
    EXPECT_FALSE(FileExists("/tmp/lumora-evil.txt"));
    EXPECT_EQ(FilesOutsideCache(), before);
}

TEST_F(SaveSafetyTest, ObserverHearsEveryStepAndCancellingLeavesNothingBehind) {
    std::string dest = MakeFile("dest.bmp", {'o', 'l', 'd'});
    std::string file = MakeFile("f.bin", PseudoRandomBytes(100000, 2));
    for (const char* step : {"Copying image", "Packing files", "Encrypting"}) {
        SCOPED_TRACE(step);
        Canceller canceller(step);
        CBindImage engine;
        engine.SetPassword(Password("pw"));
        ASSERT_EQ(engine.OpenCarrier(MakeImage(), OPEN_UNPACK), 1);
        engine.SetProgressObserver(&canceller);
        ASSERT_EQ(engine.AddFileSlot(file, SLOT_ADDED, -1, 0), 0);
        EXPECT_EQ(engine.SaveCarrier(dest), 0);
        EXPECT_EQ(engine.LastStatus().reason, Reason::Cancelled);
        EXPECT_EQ(ReadText(dest), "old");
    }

    Canceller watcher("");
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "", {file}), 1);
    CBindImage engine;
    engine.SetProgressObserver(&watcher);
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_UNPACK), 1);
    std::string copy = Path("copy.bin");
    ASSERT_EQ(engine.ExtractHiddenFile(0, copy), 1);
    EXPECT_EQ(ReadFile(copy), ReadFile(file));
    EXPECT_EQ(watcher.steps, (std::set<std::string>{"Copying image", "Decrypting", "Unpacking"}));

    Canceller stopUnpacking("Unpacking");
    engine.SetProgressObserver(&stopUnpacking);
    std::string other = MakeFile("other.bin", {'k', 'e', 'e', 'p'});
    EXPECT_EQ(engine.ExtractHiddenFile(0, other), 0);
    EXPECT_EQ(engine.LastStatus().reason, Reason::Cancelled);
    EXPECT_EQ(ReadText(other), "keep");
    std::string missing = Path("no/such/folder.bin");
    EXPECT_EQ(engine.ExtractHiddenFile(0, missing), 0);
    EXPECT_FALSE(FileExists(Path("no")));
}

} // namespace
} // namespace lumora::test
