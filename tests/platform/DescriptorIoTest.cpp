// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/DescriptorIo.h"

#include "support/TestFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace lumora {
namespace {

using test::PseudoRandomBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() { EXPECT_EQ(0, ::pipe2(&read, O_CLOEXEC)); }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    void CloseRead() {
        if (read >= 0)
            ::close(std::exchange(read, -1));
    }
    void CloseWrite() {
        if (write >= 0)
            ::close(std::exchange(write, -1));
    }
    // Fills the pipe until a write would block; the count written.
    size_t Fill() {
        ::fcntl(write, F_SETFL, O_NONBLOCK);
        size_t filled = 0;
        char chunk[4096] = {};
        for (ssize_t n; (n = ::write(write, chunk, sizeof chunk)) > 0;)
            filled += static_cast<size_t>(n);
        ::fcntl(write, F_SETFL, 0);
        return filled;
    }
};

TEST(DescriptorIo, MovesBuffersLargerThanOneCallTakes) {
    // A pipe takes 64 KiB at a time: the write is short many times over.
    const std::vector<uint8_t> sent = PseudoRandomBytes(1 << 20, 7);
    Pipe pipe;
    bool written = false;
    std::thread writer([&] { written = WriteAll(pipe.write, sent.data(), sent.size()); });
    std::vector<uint8_t> got(sent.size());
    EXPECT_TRUE(ReadAll(pipe.read, got.data(), got.size()));
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(sent, got);

    TempDir dir;
    const std::string path = dir.Path() + "/file";
    WriteFile(path, std::vector<uint8_t>(100, 0));
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(WriteAllAt(fd, sent.data(), 10, 95));
    std::vector<uint8_t> back(10);
    EXPECT_TRUE(ReadAllAt(fd, back.data(), back.size(), 95));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), sent.begin()));
    // The descriptor's own position stayed at the start.
    uint8_t first = 1;
    EXPECT_TRUE(ReadAll(fd, &first, 1));
    EXPECT_EQ(0, first);
    ::close(fd);
    EXPECT_EQ(105u, ReadFile(path).size());
}

TEST(DescriptorIo, FailuresCarryTheirErrno) {
    ::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    const std::string path = dir.Path() + "/short";
    WriteFile(path, std::vector<uint8_t>(5, 1));
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    Pipe shortInput;
    EXPECT_EQ(3, ::write(shortInput.write, "abc", 3));
    shortInput.CloseWrite();
    Pipe noReader;
    noReader.CloseRead();
    char buffer[8] = {};
    const struct {
        const char* what;
        std::function<bool()> call;
        int error;
    } cases[] = {
        {"read ends early", [&] { return ReadAll(shortInput.read, buffer, sizeof buffer); }, 0},
        {"read past the file's end", [&] { return ReadAllAt(file, buffer, sizeof buffer, 0); }, 0},
        {"read at the file's end", [&] { return ReadAllAt(file, buffer, 1, 5); }, 0},
        {"write to a read-only file", [&] { return WriteAll(file, buffer, 1); }, EBADF},
        {"write there at a position", [&] { return WriteAllAt(file, buffer, 1, 0); }, EBADF},
        {"write nobody reads", [&] { return WriteAll(noReader.write, buffer, 1); }, EPIPE},
        {"read a closed descriptor", [&] { return ReadAll(-1, buffer, 1); }, EBADF},
    };
    for (const auto& c : cases) {
        errno = 12345;
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(c.error, errno) << c.what;
    }
    ::close(file);
    EXPECT_TRUE(ReadAll(-1, buffer, 0)) << "nothing to read is done at once";
}

// What a descriptor holds for the reads below: a file of "0123456789", or a pipe that
// gets `sent` (in writes of at most 1000 bytes, so that reads come back short) and then
// its end.
struct ReadCase {
    const char* what;
    bool file;
    size_t sent;      // pipes only
    uint64_t offset;  // files only
    size_t asked;     // ReadUpTo(At)'s size
    ssize_t expected; // its count
};

class ReadUpToTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadUpToTest, StopsOnlyAtTheEnd) {
    const ReadCase& c = GetParam();
    std::vector<uint8_t> got(c.asked + 1, 0xEE);
    std::vector<uint8_t> sent;
    if (c.file) {
        TempDir dir;
        sent.assign({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
        WriteFile(dir / "ten", sent);
        const int fd = ::open((dir / "ten").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(c.expected, ReadUpToAt(fd, got.data(), c.asked, c.offset));
        ::close(fd);
    } else {
        sent = PseudoRandomBytes(c.sent, 4);
        Pipe pipe;
        std::thread writer([&] {
            for (size_t at = 0; at < sent.size(); at += 1000)
                EXPECT_TRUE(
                    WriteAll(pipe.write, &sent[at], std::min<size_t>(1000, sent.size() - at)));
            pipe.CloseWrite();
        });
        EXPECT_EQ(c.expected, ReadUpTo(pipe.read, got.data(), c.asked));
        writer.join();
    }
    const auto from = static_cast<ptrdiff_t>(c.file ? std::min<uint64_t>(c.offset, 10) : 0);
    const auto count = static_cast<ptrdiff_t>(std::max<ssize_t>(c.expected, 0));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + count, sent.begin() + from));
    EXPECT_EQ(0xEE, got[static_cast<size_t>(count)]) << "wrote past what it read";
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReadUpToTest,
                         ::testing::Values(ReadCase{"PipeHoldsMore", false, 300000, 0, 250000,
                                                    250000},
                                           ReadCase{"PipeEndsFirst", false, 2500, 0, 8000, 2500},
                                           ReadCase{"PipeEmpty", false, 0, 0, 10, 0},
                                           ReadCase{"FileFromItsMiddle", true, 0, 4, 3, 3},
                                           ReadCase{"FileEndsFirst", true, 0, 7, 10, 3},
                                           ReadCase{"FileAtItsEnd", true, 0, 10, 4, 0},
                                           ReadCase{"FilePastItsEnd", true, 0, 50, 4, 0}),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(ReadToEnd, HandsOverEveryPieceUntilTheEndOrUntilTold) {
    const std::vector<uint8_t> sent = PseudoRandomBytes(300000, 9);
    for (const size_t wanted : {size_t{1}, SIZE_MAX}) {
        SCOPED_TRACE(wanted);
        Pipe pipe;
        std::thread writer([&] {
            // The reader may stop early and close its end: the rest goes nowhere.
            ::signal(SIGPIPE, SIG_IGN);
            static_cast<void>(WriteAll(pipe.write, sent.data(), sent.size()));
            pipe.CloseWrite();
        });
        std::vector<uint8_t> got;
        size_t pieces = 0;
        EXPECT_TRUE(ReadToEnd(pipe.read, [&](const char* data, size_t size) {
            got.insert(got.end(), data, data + size);
            return ++pieces < wanted;
        }));
        pipe.CloseRead();
        writer.join();
        if (wanted == SIZE_MAX) {
            EXPECT_EQ(sent, got);
        } else {
            EXPECT_EQ(1u, pieces) << "the first piece comes even when it is the last";
            EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.begin()));
        }
    }
    Pipe empty;
    empty.CloseWrite();
    bool called = false;
    EXPECT_TRUE(ReadToEnd(empty.read, [&](const char*, size_t) { return called = true; }));
    EXPECT_FALSE(called) << "an empty input has no piece";

    errno = 0;
    EXPECT_FALSE(ReadToEnd(-1, [](const char*, size_t) { return true; }));
    EXPECT_EQ(EBADF, errno);
}

std::atomic<int> g_asked{0};
std::atomic<bool> g_giveUp{false};
bool CountAndAnswer() {
    ++g_asked;
    return g_giveUp;
}
void Nothing(int) {}

TEST(DescriptorIo, SignalsRetryUnlessTheCallerStops) {
    struct sigaction quiet = {}, previous = {};
    quiet.sa_handler = Nothing;
    // Without SA_RESTART a blocked write returns EINTR.
    ASSERT_EQ(0, ::sigaction(SIGUSR1, &quiet, &previous));
    for (const bool giveUp : {false, true}) {
        SCOPED_TRACE(giveUp ? "the caller stops" : "the caller goes on");
        g_asked = 0;
        g_giveUp = giveUp;
        Pipe pipe;
        const size_t filled = pipe.Fill();
        const std::vector<uint8_t> sent = PseudoRandomBytes(4096, 3);
        std::atomic<bool> finished{false};
        bool written = false;
        int error = 0;
        std::thread writer([&] {
            written = WriteAll(pipe.write, sent.data(), sent.size(), CountAndAnswer);
            error = errno;
            finished = true;
        });
        while (g_asked == 0 && !finished) {
            ::pthread_kill(writer.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::vector<uint8_t> got(filled + sent.size());
        if (!giveUp) {
            EXPECT_TRUE(ReadAll(pipe.read, got.data(), got.size()));
        }
        writer.join();
        EXPECT_GE(g_asked, 1);
        EXPECT_EQ(!giveUp, written);
        if (giveUp) {
            EXPECT_EQ(EINTR, error);
        } else {
            EXPECT_TRUE(std::equal(sent.begin(), sent.end(), got.begin() + ptrdiff_t(filled)));
        }
    }
    ::sigaction(SIGUSR1, &previous, nullptr);
}

TEST(ReadToEnd, GivesUpOnASignalWhenTheCallerStops) {
    struct sigaction quiet = {}, previous = {};
    quiet.sa_handler = Nothing;
    ASSERT_EQ(0, ::sigaction(SIGUSR1, &quiet, &previous));
    g_asked = 0;
    g_giveUp = true;
    Pipe pipe; // nobody writes to it, and it stays open
    std::atomic<bool> finished{false};
    bool read = true;
    int error = 0;
    std::thread reader([&] {
        read = ReadToEnd(
            pipe.read, [](const char*, size_t) { return true; }, CountAndAnswer);
        error = errno;
        finished = true;
    });
    while (!finished) {
        ::pthread_kill(reader.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_FALSE(read);
    EXPECT_EQ(EINTR, error);
    EXPECT_GE(g_asked, 1);
    ::sigaction(SIGUSR1, &previous, nullptr);
}

} // namespace
} // namespace lumora
