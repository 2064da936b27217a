// SPDX-License-Identifier: GPL-2.0-or-later
// The hide, reveal and re-save sequences end to end.
#include "EngineTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace lumora::test {
namespace {

using WorkflowTest = EngineTest;

TEST_F(WorkflowTest, HidesRevealsAndResavesZeroOneAndHundredFiles) {
    std::string image = MakeImage();
    for (int count : {0, 1, 100}) {
        SCOPED_TRACE(count);
        std::vector<std::string> files;
        std::multimap<std::string, Bytes> expected;
        for (int i = 0; i < count; ++i) {
            std::string name = "f" + std::to_string(i) + (i % 2 ? ".bin" : " é.txt");
            Bytes bytes = PseudoRandomBytes(static_cast<size_t>(i * 37), static_cast<uint32_t>(i));
            files.push_back(MakeFile(name, bytes));
            expected.emplace(name, bytes);
        }
        std::string message = count == 1 ? "" : "line one\r\nline two";
        std::string carrier = Path("carrier" + std::to_string(count) + ".bmp");
        ASSERT_EQ(Hide(image, carrier, "pässwörd", message, files), 1);

        Revealed revealed = Reveal(carrier, "pässwörd");
        EXPECT_EQ(revealed.unpacked, 1);
        EXPECT_EQ(revealed.files, expected);
        EXPECT_EQ(revealed.message, message.empty() ? std::nullopt : std::optional(message));
        EXPECT_EQ(revealed.trailer.fileCount, count);
        EXPECT_EQ(revealed.trailer.messageLength, static_cast<int32_t>(message.size()));
        Bytes head = ReadFile(carrier);
        head.resize(1000);
        EXPECT_EQ(head, ReadFile(image));

        // Keeping every file while the message changes (set, replaced or removed).
        std::vector<std::string> names;
        for (const auto& [name, bytes] : expected)
            names.push_back(name);
        std::string newMessage = count == 1 ? "now a message" : count == 0 ? "replaced" : "";
        ASSERT_EQ(Resave(carrier, "pässwörd", newMessage, names, {}, carrier), 1);
        revealed = Reveal(carrier, "pässwörd");
        EXPECT_EQ(revealed.files, expected);
        EXPECT_EQ(revealed.message, newMessage.empty() ? std::nullopt : std::optional(newMessage));
    }
}

TEST_F(WorkflowTest, ResaveOntoItsOwnPathKeepsChosenFilesAndReplacesThePayload) {
    std::string carrier = Path("carrier.png");
    std::string a = MakeFile("a.txt", {'a'});
    std::string b = MakeFile("b.txt", {'b', 'b'});
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "old", {a, b}), 1);
    std::string c = MakeFile("日本.txt", {'c', 'c', 'c'});

    ASSERT_EQ(Resave(carrier, "pw", "new\r\ntext", {"a.txt"}, {c}, carrier), 1);
    Revealed revealed = Reveal(carrier, "pw");
    EXPECT_EQ(revealed.files,
              (std::multimap<std::string, Bytes>{{"a.txt", {'a'}}, {"日本.txt", {'c', 'c', 'c'}}}));
    EXPECT_EQ(revealed.message, "new\r\ntext");
    EXPECT_EQ(revealed.trailer.fileCount, 2);
    EXPECT_EQ(revealed.trailer.filesTotalSize, 4);
    EXPECT_EQ(static_cast<int64_t>(ReadFile(carrier).size()),
              1000 + revealed.trailer.payloadLength + kTrailerSize);
}

TEST_F(WorkflowTest, HidingIntoACarrierNeverNestsPayloads) {
    std::string first = Path("first.bmp");
    std::string second = Path("second.bmp");
    std::string image = MakeImage();
    ASSERT_EQ(Hide(image, first, "pw", "first", {MakeFile("x.bin", Bytes(5000, 1))}), 1);
    ASSERT_EQ(Hide(first, second, "pw", "second", {}), 1);

    Revealed revealed = Reveal(second, "pw");
    EXPECT_EQ(revealed.trailer.imageLength, 1000);
    EXPECT_TRUE(revealed.files.empty());
    EXPECT_EQ(revealed.message, "second");
    EXPECT_EQ(static_cast<int64_t>(ReadFile(second).size()),
              1000 + revealed.trailer.payloadLength + kTrailerSize);
}

TEST_F(WorkflowTest, KeptFilesWithTheSameNameBothSurviveAResave) {
    std::filesystem::create_directories(Path("one"));
    std::filesystem::create_directories(Path("two"));
    std::string first = MakeFile("one/same.txt", {'1'});
    std::string second = MakeFile("two/same.txt", {'2', '2'});
    std::string carrier = Path("carrier.gif");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "", {first, second}), 1);

    ASSERT_EQ(Resave(carrier, "pw", "", {"same.txt"}, {}, Path("resaved.gif")), 1);
    Revealed revealed = Reveal(Path("resaved.gif"), "pw");
    EXPECT_EQ(revealed.files,
              (std::multimap<std::string, Bytes>{{"same.txt", {'1'}}, {"same.txt", {'2', '2'}}}));
}

TEST_F(WorkflowTest, DroppedSlotsAreFreedSoAHundredNewFilesFitAfterAHundredOld) {
    std::vector<std::string> files;
    for (int i = 0; i < 100; ++i)
        files.push_back(MakeFile("old" + std::to_string(i), {static_cast<uint8_t>(i)}));
    std::string carrier = Path("full.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "", files), 1);
    for (auto& file : files)
        file = MakeFile("new" + file.substr(file.rfind('/') + 4), {1, 2});

    ASSERT_EQ(Resave(carrier, "pw", "", {}, files, carrier), 1);
    Revealed revealed = Reveal(carrier, "pw");
    EXPECT_EQ(revealed.files.size(), 100u);
    EXPECT_EQ(revealed.files.count("new0"), 1u);
    EXPECT_EQ(revealed.files.count("old0"), 0u);
}

TEST_F(WorkflowTest, SavesAHiddenFileOverAFileOnAnotherFileSystem) {
    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(m_dir.Path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    std::string carrier = Path("carrier.bmp");
    Bytes bytes = PseudoRandomBytes(70000, 5);
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "", {MakeFile("f.bin", bytes)}), 1);
    std::string dest = "/dev/shm/lumora-engine-test-" + std::to_string(::getpid());
    WriteFile(dest, {'o', 'l', 'd'});

    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_UNPACK), 1);
    EXPECT_EQ(engine.ExtractHiddenFile(0, dest), 1);
    EXPECT_EQ(ReadFile(dest), bytes);
    ::unlink(dest.c_str());
}

} // namespace
} // namespace lumora::test
