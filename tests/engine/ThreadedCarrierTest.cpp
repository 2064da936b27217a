// SPDX-License-Identifier: GPL-2.0-or-later
// Hiding and revealing on several threads: the carrier is the one a single thread writes,
// other zip readers take it, and Cancel stops every worker without writing anything.
#include "EngineTestSupport.h"

#include "archive/PkwareCipher.h"
#include "archive/Unzipper.h"
#include "engine/CarrierSession.h"
#include "platform/WorkerPool.h"

#include <map>

namespace lumora::test {
namespace {

constexpr size_t kBlock = 128 * 1024; // the input size of one deflate block
const char* const kPassword = "pässwörd";

Bytes TextLike(size_t size, int seed) {
    Bytes text;
    for (int i = 0; text.size() < size; ++i) {
        const std::string line =
            "row " + std::to_string((i * 7919 + seed) % 1009) + " of a text file\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    text.resize(size);
    return text;
}

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
        CarrierSession session(Path("image.bmp"));
        EXPECT_TRUE(session.Open().Ok());
        session.SetWorkerThreads(threads);
        session.SetProgressObserver(observer);
        const Password password(kPassword);
        SaveRequest request;
        request.destination = dest;
        request.message = message;
        request.addedFiles = files;
        request.newPassword = &password;
        return session.Save(request);
    }

    std::unique_ptr<CarrierSession> Unlocked(const std::string& carrier, int threads) {
        auto session = std::make_unique<CarrierSession>(carrier);
        session->SetWorkerThreads(threads);
        EXPECT_TRUE(session->Open().Ok());
        EXPECT_TRUE(session->Unlock(Password(kPassword)).Ok());
        return session;
    }

    // The payload archive of an unlocked carrier with every entry deciphered and the random
    // bytes of its encryption header zeroed: what is left depends on the content alone.
    static Bytes WithoutRandomBytes(const CarrierSession& session) {
        const std::string archive = session.Engine().PayloadTempPath();
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
        {"text.txt", TextLike(5 * kBlock + 99, 4)},
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
        const Status saved = Save(threads, carrier, files, message);
        ASSERT_TRUE(saved.Ok()) << saved.Describe();
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
    const std::string archive = session->Engine().PayloadTempPath();
    EXPECT_EQ("ok\n", RunCommand("unzip -tqq -P '" + std::string(kPassword) + "' '" + archive +
                                 "' >/dev/null 2>&1 && echo ok"));
    std::string expected;
    for (const auto& [name, bytes] : contents)
        expected += name + " " + Sha256Hex(Path(name)) + "\n";
    const std::string listing =
        RunCommand("python3 -c 'import hashlib, sys, zipfile\n"
                   "z = zipfile.ZipFile(sys.argv[1])\n"
                   "for i in sorted(z.infolist(), key=lambda i: i.filename):\n"
                   "    if i.filename != \"veilnote.vnt\":\n"
                   "        d = z.read(i, pwd=sys.argv[2].encode())\n"
                   "        print(i.filename, hashlib.sha256(d).hexdigest())' '" +
                   archive + "' '" + kPassword + "'");
    EXPECT_EQ(expected, listing);
}

TEST_F(ThreadedCarrierTest, CancellingWithWorkersStopsThemAllAndWritesNothing) {
    MakeImage();
    std::vector<AddedFile> files;
    for (int i = 0; i < 6; ++i) {
        files.emplace_back(MakeFile("text" + std::to_string(i) + ".txt", TextLike(8 * kBlock, i)));
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
            EXPECT_EQ(Save(2, dest, files, "message", &stop).outcome, Outcome::Cancelled);
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
    EXPECT_EQ(session->VerifyAll(checked).outcome, Outcome::Cancelled);
    EXPECT_EQ(1, stopChecking.heard);
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    StopAt stopUnpacking("Unpacking");
    session->SetProgressObserver(&stopUnpacking);
    const std::string out = Path("out.txt");
    EXPECT_EQ(session->ExtractToFile(session->Entries().front().index, out, false).outcome,
              Outcome::Cancelled);
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    EXPECT_EQ(Everything(), before);
}

} // namespace
} // namespace lumora::test
