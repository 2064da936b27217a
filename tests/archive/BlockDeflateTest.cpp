// SPDX-License-Identifier: GPL-2.0-or-later
// Block deflate: the same stream for every thread count, one that any inflater reads back,
// and sources that change while they are read fail instead of carrying a wrong CRC.
#include "archive/BlockDeflate.h"
#include "platform/WorkerPool.h"
#include "support/TestFiles.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;
using test::PseudoRandomBytes;
using test::TempDir;

// Collects what DeflateEntries hands over, and can act when an entry begins.
class CollectingSink : public DeflateSink {
public:
    struct Entry {
        uint32_t beginCrc = 0, endCrc = 0;
        uint64_t size = 0;
        Bytes stream;
    };
    bool BeginEntry(size_t entry, uint32_t crc) override {
        EXPECT_EQ(entry, entries.size());
        entries.push_back({crc, 0, 0, {}});
        return !onBegin || onBegin();
    }
    bool WriteDeflated(uint8_t* data, size_t length) override {
        entries.back().stream.insert(entries.back().stream.end(), data, data + length);
        return true;
    }
    bool EndEntry(size_t entry, uint64_t size, uint32_t crc) override {
        EXPECT_EQ(entry + 1, entries.size());
        entries.back().size = size;
        entries.back().endCrc = crc;
        return true;
    }
    bool Progress(uint64_t done) override {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        ++reports;
        return reports != stopAtReport;
    }

    std::vector<Entry> entries;
    std::function<bool()> onBegin;
    uint64_t lastDone = 0;
    int reports = 0;
    int stopAtReport = -1;
};

Bytes Inflate(const Bytes& stream) {
    z_stream z{};
    EXPECT_EQ(Z_OK, inflateInit2(&z, -MAX_WBITS));
    Bytes out;
    uint8_t buffer[65536];
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (result == Z_OK);
    EXPECT_EQ(Z_STREAM_END, result);
    EXPECT_EQ(0u, z.avail_in); // nothing after the stream's end
    inflateEnd(&z);
    return out;
}

uint32_t Crc(const Bytes& bytes) {
    return static_cast<uint32_t>(crc32_z(crc32(0, Z_NULL, 0), bytes.data(), bytes.size()));
}

// Entries around the block and dictionary sizes, in every kind of content.
std::vector<Bytes> Contents() {
    const size_t block = kDeflateBlockSize;
    std::vector<Bytes> contents = {
        {},
        {'x'},
        Bytes(kDeflateDictionarySize, 0),
        PseudoRandomBytes(block - 1, 1),
        PseudoRandomBytes(block, 2),
        PseudoRandomBytes(block + 1, 3),
        Bytes(3 * block + 17, 0),
        test::TextLikeBytes(2 * block),
        test::TextLikeBytes(5 * block + 1000),
    };
    // Incompressible, then a long zero run, then text: the dictionary crosses kinds.
    Bytes mixed = PseudoRandomBytes(block + 5000, 4);
    mixed.resize(mixed.size() + block, 0);
    const Bytes text = test::TextLikeBytes(block / 2);
    mixed.insert(mixed.end(), text.begin(), text.end());
    contents.push_back(mixed);
    return contents;
}

std::vector<CollectingSink::Entry> DeflateAll(const std::vector<Bytes>& contents, int threads) {
    std::vector<std::unique_ptr<EntrySource>> sources;
    std::vector<const EntrySource*> order;
    for (const Bytes& bytes : contents) {
        sources.push_back(std::make_unique<EntrySource>(bytes.data(), bytes.size()));
        order.push_back(sources.back().get());
    }
    CollectingSink sink;
    EXPECT_TRUE(DeflateEntries(order, sink, threads).Ok());
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
    return sink.entries;
}

TEST(BlockDeflate, StreamsAreTheSameOnEveryThreadCountAndInflateToTheSource) {
    const std::vector<Bytes> contents = Contents();
    const auto single = DeflateAll(contents, 1);
    ASSERT_EQ(contents.size(), single.size());
    for (size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(contents[i], Inflate(single[i].stream));
        EXPECT_EQ(Crc(contents[i]), single[i].beginCrc);
        EXPECT_EQ(Crc(contents[i]), single[i].endCrc);
        EXPECT_EQ(contents[i].size(), single[i].size);
    }
    // A zero run still compresses across blocks: each block is primed with the one before.
    EXPECT_LT(single[6].stream.size(), 1000u);
    for (int threads : {2, 3, 8}) {
        SCOPED_TRACE(threads);
        const auto threaded = DeflateAll(contents, threads);
        ASSERT_EQ(single.size(), threaded.size());
        for (size_t i = 0; i < single.size(); ++i) {
            EXPECT_EQ(single[i].stream, threaded[i].stream) << i;
            EXPECT_EQ(single[i].endCrc, threaded[i].endCrc) << i;
        }
    }
}

// A file hidden while something writes to it: the CRC pass and the blocks disagree.
TEST(BlockDeflate, ASourceThatChangesBetweenItsTwoReadsFails) {
    TempDir dir;
    const std::string path = dir / "changing.bin";
    // Longer than the blocks in flight before the first entry begins (four per thread).
    const Bytes original = test::TextLikeBytes(40 * kDeflateBlockSize);
    struct Case {
        const char* what;
        std::function<void(int fd)> change;
    };
    const Case cases[] = {
        {"rewritten near its end",
         [&](int fd) {
             ASSERT_EQ(4, ::pwrite(fd, "XXXX", 4, static_cast<off_t>(original.size() - 10)));
         }},
        {"grown",
         [&](int fd) {
             ASSERT_EQ(4, ::pwrite(fd, "more", 4, static_cast<off_t>(original.size())));
         }},
        {"shrunk",
         [&](int fd) { ASSERT_EQ(0, ::ftruncate(fd, static_cast<off_t>(original.size() / 2))); }},
    };
    for (const Case& c : cases) {
        for (int threads : {1, 2}) {
            SCOPED_TRACE(std::string(c.what) + ", threads " + std::to_string(threads));
            test::WriteFile(path, original);
            const int writer = ::open(path.c_str(), O_WRONLY);
            ASSERT_GE(writer, 0);
            EntrySource source(::open(path.c_str(), O_RDONLY), original.size());
            CollectingSink sink;
            sink.onBegin = [&] {
                c.change(writer);
                return true;
            };
            const DeflateResult result = DeflateEntries({&source}, sink, threads);
            EXPECT_EQ(DeflateFailure::Changed, result.failure);
            EXPECT_EQ(0u, result.entry);
            EXPECT_EQ(0, WorkerPool::ActiveTasks());
            ::close(writer);
        }
    }
}

// Stopping at a report, or at a refusal of the sink, ends the work of every worker.
TEST(BlockDeflate, CancellingOrARefusingSinkStopsEveryWorker) {
    const Bytes big = test::TextLikeBytes(30 * kDeflateBlockSize);
    const Bytes small = test::TextLikeBytes(1000);
    EntrySource first(big.data(), big.size());
    EntrySource second(small.data(), small.size());
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        CollectingSink cancelling;
        cancelling.stopAtReport = 2;
        DeflateResult result = DeflateEntries({&first, &second}, cancelling, threads);
        EXPECT_EQ(DeflateFailure::Cancelled, result.failure);
        EXPECT_EQ(2, cancelling.reports);
        EXPECT_EQ(0, WorkerPool::ActiveTasks());

        CollectingSink refusing;
        refusing.onBegin = [&refusing] { return refusing.entries.size() < 2; };
        result = DeflateEntries({&first, &second}, refusing, threads);
        EXPECT_EQ(DeflateFailure::WriteFailed, result.failure);
        EXPECT_EQ(1u, result.entry);
        EXPECT_EQ(0, WorkerPool::ActiveTasks());
    }
}

} // namespace
} // namespace lumora
