// SPDX-License-Identifier: GPL-2.0-or-later
// Hiding and revealing on several threads: the carrier is the one a single thread writes,
// other zip readers take it, and Cancel stops every worker without writing anything.
#include "EngineTestSupport.h"

#include "archive/PkwareCipher.h"
#include "archive/Unzipper.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "platform/AtomicFile.h"
#include "platform/WorkerPool.h"
#include "support/Sessions.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>

namespace lumora::test {
namespace {

constexpr size_t kBlock = 128 * 1024; // the input size of one deflate block
const char* const kPassword = "pässwörd";

// Hears progress, and cancels at the first report of one step.
class StopAt : public CProgressObserver {
public:
    explicit StopAt(std::string step) : m_step(std::move(step)) {}
    bool OnProgress(ProgressStep id, int64_t, int64_t) override {
        if (ProgressStepName(id) != m_step)
            return true;
        ++heard;
        return false;
    }
    int heard = 0;

private:
    std::string m_step;
};

class ThreadedCarrierTest : public EngineTest {
protected:
    // Every path below the test folder: what a cancelled operation must leave as it was.
    std::set<std::string> Everything() const {
        std::set<std::string> paths;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path()))
            paths.insert(entry.path().string());
        return paths;
    }

    Status Save(int threads, const std::string& dest, const std::vector<AddedFile>& files,
                const std::optional<std::string>& message, CProgressObserver* observer = nullptr) {
        std::unique_ptr<OpenedCarrier> picture = OpenAt(Path("image.bmp"));
        EXPECT_NE(picture, nullptr);
        picture->SetWorkerThreads(threads);
        picture->SetProgressObserver(observer);
        const Password password(kPassword);
        SaveRequest request;
        request.destination = dest;
        request.message = message;
        request.addedFiles = files;
        request.newPassword = &password;
        std::unique_ptr<UnlockedCarrier> saved;
        return OpenedCarrier::Hide(picture, request, saved);
    }

    std::unique_ptr<UnlockedCarrier> Unlocked(const std::string& carrier, int threads) {
        std::unique_ptr<OpenedCarrier> opened = OpenAt(carrier);
        EXPECT_NE(opened, nullptr);
        opened->SetWorkerThreads(threads);
        std::unique_ptr<UnlockedCarrier> session;
        EXPECT_TRUE(OpenedCarrier::Unlock(opened, Password(kPassword), session).Ok());
        return session;
    }

    // The payload archive of an unlocked carrier with every entry deciphered and the random
    // bytes of its encryption header zeroed: what is left depends on the content alone.
    static Bytes WithoutRandomBytes(const UnlockedCarrier& session) {
        const std::string archive = session.WorkingCopy();
        Bytes bytes = ReadFile(archive);
        CUnzipper unzipper(archive);
        ZipEntryInfo info;
        for (int i = 0; unzipper.EntryInfoAt(i, info); ++i) {
            EXPECT_TRUE(info.encrypted);
            EXPECT_LE(info.dataOffset + info.compressedSize, bytes.size());
            uint8_t* data = bytes.data() + info.dataOffset;
            PkwareCipher(Password(kPassword)).Decrypt(data, info.compressedSize);
            std::fill_n(data, PkwareCipher::kHeaderSize - 1, 0);
        }
        return bytes;
    }
};

TEST_F(ThreadedCarrierTest, CarriersAreTheSameOnEveryThreadCountAndReadBackEverywhere) {
    MakeImage();
    Bytes mixed = PseudoRandomBytes(kBlock + 3000, 5);
    mixed.resize(mixed.size() + 2 * kBlock, 0);
    const std::map<std::string, Bytes> contents = {
        {"empty.txt", {}},
        {"one.txt", {'1'}},
        {"zeros.bin", Bytes(3 * kBlock + 17, 0)},
        {"random-below.bin", PseudoRandomBytes(kBlock - 1, 1)},
        {"random-at.bin", PseudoRandomBytes(kBlock, 2)},
        {"random-above.bin", PseudoRandomBytes(kBlock + 1, 3)},
        {"text.txt", test::TextLikeBytes(5 * kBlock + 99, 4)},
        {"mixed.bin", mixed},
    };
    std::vector<AddedFile> files;
    for (const auto& [name, bytes] : contents)
        files.emplace_back(MakeFile(name, bytes));
    const std::string message = "a message\r\nof two lines";

    std::map<int, Bytes> archives;
    std::map<int, size_t> sizes;
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        const std::string carrier = Path("carrier" + std::to_string(threads) + ".bmp");
        ASSERT_EQ(Save(threads, carrier, files, message).reason, Reason::None);
        sizes[threads] = ReadFile(carrier).size();
        for (int revealThreads : {1, 2}) {
            auto session = Unlocked(carrier, revealThreads);
            ASSERT_EQ(session->Message(), message);
            ASSERT_EQ(session->Entries().size(), contents.size());
            for (const HiddenEntry& entry : session->Entries()) {
                std::string copy;
                ASSERT_TRUE(session->ExtractToWorkFolder(entry.index, copy).Ok()) << entry.name;
                EXPECT_EQ(ReadFile(copy), contents.at(entry.name)) << entry.name;
            }
            int checked = 0;
            EXPECT_TRUE(session->VerifyAll(checked).Ok());
            EXPECT_EQ(checked, static_cast<int>(contents.size()) + 1); // and the message
            archives[threads] = WithoutRandomBytes(*session);
        }
    }
    EXPECT_EQ(sizes[1], sizes[2]);
    EXPECT_EQ(sizes[1], sizes[4]);
    EXPECT_EQ(archives[1], archives[2]);
    EXPECT_EQ(archives[1], archives[4]);

    // Info-ZIP and Python's zipfile read the payload archive written on four threads.
    auto session = Unlocked(Path("carrier4.bmp"), 1);
    const std::string archive = session->WorkingCopy();
    EXPECT_EQ("ok\n", CommandOutput("unzip -tqq -P '" + std::string(kPassword) + "' '" + archive +
                                    "' >/dev/null 2>&1 && echo ok"));
    std::string expected;
    for (const auto& [name, bytes] : contents)
        expected += name + " " + Sha256Hex(Path(name)) + "\n";
    const std::string listing =
        CommandOutput("python3 -c 'import hashlib, sys, zipfile\n"
                      "z = zipfile.ZipFile(sys.argv[1])\n"
                      "for i in sorted(z.infolist(), key=lambda i: i.filename):\n"
                      "    if i.filename != \"veilnote.vnt\":\n"
                      "        d = z.read(i, pwd=sys.argv[2].encode())\n"
                      "        print(i.filename, hashlib.sha256(d).hexdigest())' '" +
                      archive + "' '" + kPassword + "'");
    EXPECT_EQ(expected, listing);
}

// What ExtractEntries did: the files it finished, in order, and how it ended.
struct Extraction {
    std::vector<std::string> finished;
    std::map<std::string, Bytes> contents;
    Reason reason = Reason::None;
    std::string subject;
};

TEST_F(ThreadedCarrierTest, RevealingOnWorkersWritesAndFailsAsOneThreadDoes) {
    MakeImage();
    std::map<std::string, Bytes> many;
    for (int i = 0; i < 40; ++i)
        many["small" + std::to_string(i) + ".txt"] =
            test::TextLikeBytes(static_cast<size_t>(i) * 37, i);
    const Bytes text = test::TextLikeBytes(3 * kBlock, 9);
    struct Case {
        const char* name;
        std::map<std::string, Bytes> contents;
        std::string damaged;     // an entry whose stored data get a flipped byte
        int refuseOpenAt = -1;   // a position whose output cannot be opened
        int refuseFinishAt = -1; // a position whose output cannot be put in place
        int laterAt = -1;        // a position whose output waits for its turn
    };
    const std::vector<Case> cases = {
        {"empty files", {{"a.txt", {}}, {"b.txt", {}}, {"c.txt", {}}}, "", -1, -1},
        {"zero runs and incompressible data",
         {{"zeros.bin", Bytes(5 * kBlock, 0)},
          {"random.bin", PseudoRandomBytes(3 * kBlock + 5, 1)},
          {"text.txt", text}},
         "",
         -1,
         -1},
        {"many small files", many, "", -1, -1},
        {"an output that waits for its turn", many, "", -1, -1, 3},
        {"damage before an output that waits for its turn",
         {{"1.txt", text}, {"2.txt", text}, {"3.txt", text}},
         "1.txt",
         -1,
         -1,
         1},
        {"a damaged entry in the middle",
         {{"1.txt", text}, {"2.bin", PseudoRandomBytes(kBlock, 2)}, {"3.txt", text}},
         "2.bin",
         -1,
         -1},
        {"a damaged first entry", {{"1.txt", text}, {"2.txt", text}}, "1.txt", -1, -1},
        {"an output that cannot be opened", many, "", 5, -1},
        {"an output that cannot be put in place", many, "", -1, 7},
        {"damage before an output that cannot be opened",
         {{"1.txt", text}, {"2.txt", text}, {"3.txt", text}},
         "2.txt",
         2,
         -1},
        {"damage after an output that cannot be opened",
         {{"1.txt", text}, {"2.txt", text}, {"3.txt", text}},
         "3.txt",
         1,
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<AddedFile> files;
        for (const auto& [name, bytes] : c.contents)
            files.emplace_back(MakeFile(name, bytes));
        const std::string carrier = Path("carrier.bmp");
        ASSERT_TRUE(Save(2, carrier, files, std::nullopt).Ok());
        std::map<int, Extraction> results;
        for (int threads : {1, 4}) {
            auto session = Unlocked(carrier, threads);
            std::vector<int> entries;
            bool openedLater = false;
            for (const HiddenEntry& entry : session->Entries()) {
                entries.push_back(entry.index);
                if (entry.name != c.damaged)
                    continue;
                ZipEntryInfo info;
                const std::string archive = session->WorkingCopy();
                ASSERT_TRUE(CUnzipper(archive).EntryInfoAt(entry.index, info));
                Bytes bytes = ReadFile(archive);
                bytes[info.dataOffset + info.compressedSize / 2] ^= 0x40;
                WriteFile(archive, bytes);
            }
            const std::string folder = Path("out" + std::to_string(threads));
            std::filesystem::create_directories(folder);
            std::vector<int> fds(entries.size(), -1);
            Extraction& got = results[threads];
            const Status status = session->ExtractEntries(
                entries,
                [&](size_t at, bool inTurn, int& fd) {
                    if (static_cast<int>(at) == c.refuseOpenAt)
                        return Status::Fail(Reason::WriteFailed, "open");
                    if (static_cast<int>(at) == c.laterAt) {
                        if (!inTurn)
                            return Status::Success();
                        openedLater = true;
                    }
                    const std::string path = folder + "/" + session->Entries()[at].name;
                    fd = fds[at] = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                    return Status::Success();
                },
                [&](size_t at) {
                    if (static_cast<int>(at) == c.refuseFinishAt)
                        return Status::Fail(Reason::WriteFailed, "finish");
                    const std::string& name = session->Entries()[at].name;
                    got.finished.push_back(name);
                    got.contents[name] = ReadFile(folder + "/" + name);
                    return Status::Success();
                });
            for (int fd : fds) {
                if (fd >= 0)
                    ::close(fd);
            }
            // Asked to wait, an output is opened only once every earlier one is finished.
            EXPECT_EQ(openedLater,
                      c.laterAt >= 0 && got.finished.size() >= static_cast<size_t>(c.laterAt));
            got.reason = status.reason;
            got.subject = status.subject;
            EXPECT_EQ(0, WorkerPool::ActiveTasks());
        }
        const Extraction& one = results[1];
        const Extraction& four = results[4];
        EXPECT_EQ(one.finished, four.finished);
        EXPECT_EQ(one.reason, four.reason);
        EXPECT_EQ(one.subject, four.subject);
        for (const auto& [name, bytes] : four.contents)
            EXPECT_EQ(bytes, c.contents.at(name)) << name;
        // Entries are stored in the order given, which the map sorted: every file before
        // the first failure is finished, and none after it.
        size_t stopAt = c.contents.size();
        if (c.refuseOpenAt >= 0)
            stopAt = static_cast<size_t>(c.refuseOpenAt);
        if (c.refuseFinishAt >= 0)
            stopAt = static_cast<size_t>(c.refuseFinishAt);
        if (!c.damaged.empty()) {
            const auto damaged = c.contents.find(c.damaged);
            stopAt = std::min<size_t>(
                stopAt, static_cast<size_t>(std::distance(c.contents.begin(), damaged)));
        }
        EXPECT_EQ(four.finished.size(), stopAt);
        if (stopAt == c.contents.size())
            EXPECT_EQ(four.reason, Reason::None);
        else if (static_cast<int>(stopAt) == c.refuseOpenAt)
            EXPECT_EQ(four.subject, "open");
        else if (static_cast<int>(stopAt) == c.refuseFinishAt)
            EXPECT_EQ(four.subject, "finish");
        else
            EXPECT_EQ(std::make_pair(four.reason, four.subject),
                      std::make_pair(Reason::EntryDamaged, c.damaged));
        std::filesystem::remove_all(Path("out1"));
        std::filesystem::remove_all(Path("out4"));
    }
}

TEST_F(ThreadedCarrierTest, CancellingWithWorkersStopsThemAllAndWritesNothing) {
    MakeImage();
    std::vector<AddedFile> files;
    for (int i = 0; i < 6; ++i) {
        files.emplace_back(
            MakeFile("text" + std::to_string(i) + ".txt", test::TextLikeBytes(8 * kBlock, i)));
        files.emplace_back(
            MakeFile("random" + std::to_string(i) + ".bin", PseudoRandomBytes(4 * kBlock, i)));
    }
    const std::string existing = MakeFile("existing.bmp", {'o', 'l', 'd'});
    std::filesystem::create_directories(CacheFolder()); // made by the first session
    for (const char* step : {"Packing files", "Encrypting", "Checking"}) {
        for (const std::string& dest : {existing, Path("new.bmp")}) {
            SCOPED_TRACE(std::string(step) + " into " + dest);
            const std::set<std::string> before = Everything();
            StopAt stop(step);
            EXPECT_EQ(Save(2, dest, files, "message", &stop).reason, Reason::Cancelled);
            EXPECT_EQ(0, WorkerPool::ActiveTasks());
            EXPECT_EQ(1, stop.heard);
            EXPECT_EQ(Everything(), before);
            EXPECT_EQ(ReadText(existing), "old");
        }
    }

    // Checking a whole carrier and extracting a large file stop as well.
    ASSERT_TRUE(Save(2, Path("carrier.bmp"), files, std::nullopt).Ok());
    auto session = Unlocked(Path("carrier.bmp"), 2);
    const std::set<std::string> before = Everything();
    StopAt stopChecking("Checking");
    session->SetProgressObserver(&stopChecking);
    int checked = 0;
    EXPECT_EQ(session->VerifyAll(checked).reason, Reason::Cancelled);
    EXPECT_EQ(1, stopChecking.heard);
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    StopAt stopUnpacking("Unpacking");
    session->SetProgressObserver(&stopUnpacking);
    const std::string out = Path("out.txt");
    EXPECT_EQ(session->ExtractToFile(session->Entries().front().index, out, false).reason,
              Reason::Cancelled);
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    // And so does revealing every file side by side: no output is left in place.
    std::vector<int> entries;
    for (const HiddenEntry& entry : session->Entries())
        entries.push_back(entry.index);
    std::vector<std::unique_ptr<AtomicFile>> outs(entries.size());
    int finished = 0;
    const Status revealed = session->ExtractEntries(
        entries,
        [&](size_t at, bool, int& fd) {
            outs[at] = std::make_unique<AtomicFile>(Path("out" + std::to_string(at)));
            EXPECT_TRUE(outs[at]->Open());
            fd = outs[at]->Fd();
            return Status::Success();
        },
        [&](size_t at) {
            ++finished;
            EXPECT_TRUE(outs[at]->Commit(Replace::Never));
            return Status::Success();
        });
    EXPECT_EQ(revealed.reason, Reason::Cancelled);
    EXPECT_EQ(0, finished);
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    outs.clear();
    EXPECT_EQ(Everything(), before);
}

} // namespace
} // namespace lumora::test
