// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/BlockDeflate.h"

#include "archive/IncompressibleBlock.h"
#include "platform/DescriptorIo.h"
#include "platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <new>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace lumora {
namespace {

// The CRC pass reads ranges of this size, one task each.
constexpr uint64_t kCrcRange = 4 * 1024 * 1024;
constexpr size_t kCrcBuffer = 256 * 1024;
// Blocks in flight per worker: enough to keep every worker busy while the caller writes.
constexpr size_t kBlocksPerWorker = 4;

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length) {
    return static_cast<uint32_t>(crc32_z(crc, data, length));
}

uint32_t EmptyCrc() {
    return static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
}

// The memory of a thread's deflate streams, handed to zlib again for every block. Fresh
// memory for every block cost page faults and zeroing, a few per cent of a hide's time.
// Old memory gives the same bytes as new: zlib is made for malloc's memory and reads
// nothing it has not written or zeroed within the stream.
class DeflateMemory {
public:
    static voidpf Allocate(voidpf opaque, uInt items, uInt size) {
        return static_cast<DeflateMemory*>(opaque)->Take(static_cast<size_t>(items) * size);
    }
    static void Release(voidpf opaque, voidpf) {
        DeflateMemory& memory = *static_cast<DeflateMemory*>(opaque);
        if (memory.m_inUse > 0)
            --memory.m_inUse;
    }

private:
    // A stream asks for the same sizes in the same order each time; all are released
    // together when it ends.
    voidpf Take(size_t bytes) {
        if (m_inUse == m_pieces.size())
            m_pieces.emplace_back();
        Piece& piece = m_pieces[m_inUse];
        if (piece.size < bytes) {
            piece.data.reset(new (std::nothrow) uint8_t[bytes]);
            piece.size = piece.data ? bytes : 0;
            if (!piece.data)
                return Z_NULL;
        }
        ++m_inUse;
        return piece.data.get();
    }

    struct Piece {
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
    };
    std::vector<Piece> m_pieces;
    size_t m_inUse = 0;
};

thread_local DeflateMemory t_deflateMemory;

// A fresh stream for every block: zlib may look past the data at stale window bytes of a
// stream used before, which could make a block's bytes depend on the thread it ran on.
class Deflater {
public:
    Deflater() {
        m_stream.zalloc = &DeflateMemory::Allocate;
        m_stream.zfree = &DeflateMemory::Release;
        m_stream.opaque = &t_deflateMemory;
        m_ready = deflateInit2(&m_stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (m_ready)
            deflateEnd(&m_stream);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Ready() const { return m_ready; }
    z_stream& Stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_ready = false;
};

// One block of one entry: where it lies, and once deflated its output and CRC.
struct Block {
    const EntrySource* source = nullptr;
    size_t entry = 0;
    uint64_t offset = 0;
    size_t length = 0;
    bool first = false;
    bool last = false;

    std::atomic<bool> done{false};
    DeflateFailure failure = DeflateFailure::None;
    int error = 0;
    uint32_t crc = 0;
    std::unique_ptr<uint8_t[]> out;
    size_t outLength = 0;
};

// The CRC pass of one entry, in ranges.
struct CrcPass {
    std::vector<uint32_t> crcs;
    std::vector<uint64_t> lengths;
    std::atomic<size_t> remaining{0};
    std::atomic<bool> failed{false};
    std::atomic<int> error{0};

    uint32_t Value() const {
        uint32_t crc = EmptyCrc();
        for (size_t i = 0; i < crcs.size(); ++i)
            crc = static_cast<uint32_t>(
                crc32_combine(crc, crcs[i], static_cast<z_off_t>(lengths[i])));
        return crc;
    }
};

void DeflateOne(Block& block) {
    const size_t dictionary =
        block.first ? 0
                    : static_cast<size_t>(std::min<uint64_t>(kDeflateDictionarySize, block.offset));
    // One buffer per thread, for the same reason as DeflateMemory; not zero-filled: every
    // byte is read before it is used.
    thread_local std::unique_ptr<uint8_t[]> input;
    thread_local size_t inputSize = 0;
    if (inputSize < dictionary + block.length) {
        input.reset(new uint8_t[dictionary + block.length]);
        inputSize = dictionary + block.length;
    }
    if (!block.source->ReadExactly(block.offset - dictionary, input.get(),
                                   dictionary + block.length)) {
        block.error = errno;
        block.failure = errno != 0 ? DeflateFailure::ReadFailed : DeflateFailure::Changed;
        return;
    }
    const uint8_t* data = input.get() + dictionary;
    block.crc = Crc32(EmptyCrc(), data, block.length);
    if (block.last && !block.source->EndsAtSize()) {
        block.failure = DeflateFailure::Changed;
        return;
    }
    if (!block.out)
        block.out.reset(new uint8_t[DeflateBlockBound(kDeflateBlockSize)]);
    block.outLength =
        DeflateBlock(input.get(), dictionary, data, block.length, block.last, block.out.get());
    if (block.outLength == 0)
        block.failure = DeflateFailure::Failed;
}

void CrcRange(const EntrySource& source, uint64_t offset, uint64_t length, uint32_t& crc,
              CrcPass& pass) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kCrcBuffer, length)));
    uint32_t value = EmptyCrc();
    while (length > 0 && !pass.failed) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length));
        if (!source.ReadExactly(offset, buffer.data(), n)) {
            pass.error = errno;
            pass.failed = true;
            break;
        }
        value = Crc32(value, buffer.data(), n);
        offset += n;
        length -= n;
    }
    crc = value;
}

class Pipeline {
public:
    Pipeline(const std::vector<const EntrySource*>& sources, DeflateSink& sink, int threads)
        : m_sources(sources), m_sink(sink), m_crcs(sources.size()),
          m_limit(kBlocksPerWorker * static_cast<size_t>(ResolveThreadCount(threads))),
          m_group(threads) {}
    ~Pipeline() {
        m_abort = true;
        m_group.Wait();
    }

    DeflateResult Run();

private:
    void Schedule();
    void StartCrcPass(size_t entry);
    DeflateResult Fail(DeflateFailure failure, size_t entry, int error = 0) {
        m_abort = true;
        return {failure, entry, error};
    }

    const std::vector<const EntrySource*>& m_sources;
    DeflateSink& m_sink;
    std::vector<std::unique_ptr<CrcPass>> m_crcs;
    std::deque<std::unique_ptr<Block>> m_inFlight;
    // Outputs of blocks written, for the blocks to come (as DeflateMemory).
    std::vector<std::unique_ptr<uint8_t[]>> m_spareOutputs;
    size_t m_nextEntry = 0;
    uint64_t m_nextOffset = 0;
    std::atomic<bool> m_abort{false};
    size_t m_limit;
    // Last, so that its tasks are waited for before anything they use goes.
    TaskGroup m_group;
};

void Pipeline::StartCrcPass(size_t entry) {
    auto pass = std::make_unique<CrcPass>();
    const EntrySource& source = *m_sources[entry];
    const uint64_t size = source.Size();
    const size_t ranges = static_cast<size_t>((size + kCrcRange - 1) / kCrcRange);
    pass->crcs.assign(ranges, 0);
    pass->lengths.assign(ranges, 0);
    pass->remaining = ranges;
    CrcPass* raw = pass.get();
    m_crcs[entry] = std::move(pass);
    for (size_t i = 0; i < ranges; ++i) {
        const uint64_t offset = i * kCrcRange;
        raw->lengths[i] = std::min(kCrcRange, size - offset);
        m_group.Run([this, raw, &source, i, offset] {
            try {
                if (!m_abort)
                    CrcRange(source, offset, raw->lengths[i], raw->crcs[i], *raw);
                else
                    raw->failed = true;
            } catch (...) {
                raw->error = ENOMEM;
                raw->failed = true;
            }
            --raw->remaining;
        });
    }
}

void Pipeline::Schedule() {
    while (m_inFlight.size() < m_limit && m_nextEntry < m_sources.size()) {
        const EntrySource& source = *m_sources[m_nextEntry];
        auto block = std::make_unique<Block>();
        block->source = &source;
        block->entry = m_nextEntry;
        block->offset = m_nextOffset;
        block->length = static_cast<size_t>(
            std::min<uint64_t>(kDeflateBlockSize, source.Size() - m_nextOffset));
        block->first = m_nextOffset == 0;
        if (!m_spareOutputs.empty()) {
            block->out = std::move(m_spareOutputs.back());
            m_spareOutputs.pop_back();
        }
        block->last = m_nextOffset + block->length >= source.Size();
        if (block->first)
            StartCrcPass(m_nextEntry);
        if (block->last) {
            ++m_nextEntry;
            m_nextOffset = 0;
        } else {
            m_nextOffset += block->length;
        }
        Block* raw = block.get();
        m_inFlight.push_back(std::move(block));
        // The coordinator waits for `done`, so it is set whatever happens.
        m_group.Run([this, raw] {
            try {
                if (m_abort)
                    raw->failure = DeflateFailure::Cancelled;
                else
                    DeflateOne(*raw);
            } catch (...) {
                raw->failure = DeflateFailure::Failed;
            }
            raw->done = true;
        });
    }
}

DeflateResult Pipeline::Run() {
    uint64_t written = 0;
    uint32_t crc = EmptyCrc();
    for (Schedule(); !m_inFlight.empty(); Schedule()) {
        Block& block = *m_inFlight.front();
        m_group.WaitUntil([&block] { return block.done.load(); });
        if (block.first) {
            CrcPass& pass = *m_crcs[block.entry];
            m_group.WaitUntil([&pass] { return pass.remaining == 0; });
            if (pass.failed)
                return Fail(pass.error != 0 ? DeflateFailure::ReadFailed : DeflateFailure::Changed,
                            block.entry, pass.error);
            if (!m_sink.BeginEntry(block.entry, pass.Value()))
                return Fail(DeflateFailure::WriteFailed, block.entry, errno);
            crc = EmptyCrc();
        }
        if (block.failure != DeflateFailure::None)
            return Fail(block.failure, block.entry, block.error);
        if (!m_sink.WriteDeflated(block.out.get(), block.outLength))
            return Fail(DeflateFailure::WriteFailed, block.entry, errno);
        crc = static_cast<uint32_t>(
            crc32_combine(crc, block.crc, static_cast<z_off_t>(block.length)));
        written += block.length;
        if (block.last) {
            const size_t entry = block.entry;
            if (crc != m_crcs[entry]->Value())
                return Fail(DeflateFailure::Changed, entry);
            if (!m_sink.EndEntry(entry, m_sources[entry]->Size(), crc))
                return Fail(DeflateFailure::WriteFailed, entry, errno);
            m_crcs[entry].reset();
        }
        const size_t entry = block.entry;
        m_spareOutputs.push_back(std::move(block.out));
        m_inFlight.pop_front();
        if (!m_sink.Progress(written))
            return Fail(DeflateFailure::Cancelled, entry);
    }
    return {};
}

} // namespace

EntrySource::~EntrySource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool EntrySource::ReadExactly(uint64_t offset, uint8_t* out, size_t length) const {
    if (m_fd < 0) {
        if (offset > m_size || length > m_size - offset) {
            errno = 0;
            return false;
        }
        if (m_generated != nullptr)
            m_generated->ReadAt(offset, out, length);
        else
            std::copy_n(m_data + offset, length, out);
        return true;
    }
    return ReadAllAt(m_fd, out, length, offset);
}

bool EntrySource::EndsAtSize() const {
    if (m_fd < 0)
        return true;
    uint8_t byte;
    return ReadUpToAt(m_fd, &byte, 1, m_size) == 0;
}

size_t DeflateBlockBound(size_t length) {
    // zlib's bound for any settings, and room for the empty stored block of a sync flush.
    return length + ((length + 7) >> 3) + ((length + 63) >> 6) + 5 + 16;
}

size_t DeflateBlock(const uint8_t* dictionary, size_t dictionaryLength, const uint8_t* input,
                    size_t length, bool last, uint8_t* out) {
    if (IsIncompressible(dictionary, dictionaryLength, input, length))
        return WriteStoredBlocks(input, length, last, out);
    Deflater deflater;
    if (!deflater.Ready())
        return 0;
    z_stream& stream = deflater.Stream();
    if (dictionaryLength > 0 &&
        deflateSetDictionary(&stream, dictionary, static_cast<uInt>(dictionaryLength)) != Z_OK)
        return 0;
    const size_t capacity = DeflateBlockBound(length);
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(capacity);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    // A flush is complete when output room is left; the end of a stream says so itself.
    const bool complete = last ? result == Z_STREAM_END : result == Z_OK && stream.avail_out > 0;
    return complete ? capacity - stream.avail_out : 0;
}

DeflateResult DeflateEntries(const std::vector<const EntrySource*>& sources, DeflateSink& sink,
                             int threads) {
    Pipeline pipeline(sources, sink, threads);
    return pipeline.Run();
}

} // namespace lumora
