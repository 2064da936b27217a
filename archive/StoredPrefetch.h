// SPDX-License-Identifier: GPL-2.0-or-later
// Reads and deciphers an entry's stored data on a worker thread, a few chunks ahead of
// the thread that inflates them. Deciphering the PKWARE stream and inflating are each
// sequential within an entry, but they can run side by side. Only for callers that may
// wait for tasks (WorkerPool::CanWaitForTasks with two threads or more).
#pragma once

#include "platform/WorkerPool.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lumora {

class StoredDataReader;

class StoredPrefetch {
public:
    // Starts reading from reader, which must stay open, and untouched by the caller,
    // until this object is gone.
    explicit StoredPrefetch(StoredDataReader& reader);
    ~StoredPrefetch();
    StoredPrefetch(const StoredPrefetch&) = delete;
    StoredPrefetch& operator=(const StoredPrefetch&) = delete;

    // The next chunk, valid until the next call: its length, 0 at the end, -1 on a read
    // error (as StoredDataReader::Read).
    [[nodiscard]] long Next(const uint8_t*& data);

private:
    static constexpr size_t kChunks = 4;
    static constexpr size_t kChunkSize = 64 * 1024;

    void Produce();

    StoredDataReader& m_reader;
    struct Chunk {
        std::vector<uint8_t> bytes;
        long length = 0;
    };
    std::array<Chunk, kChunks> m_chunks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_produced = 0; // chunks filled so far
    uint64_t m_consumed = 0; // chunks handed out and given back
    bool m_handedOut = false;
    bool m_stop = false;
    TaskGroup m_group{2}; // the producer beside the caller; last: waited for before the rest goes
};

} // namespace lumora
