// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/StoredPrefetch.h"

#include "archive/StoredDataReader.h"

namespace lumora {

StoredPrefetch::StoredPrefetch(StoredDataReader& reader) : m_reader(reader) {
    for (Chunk& chunk : m_chunks)
        chunk.bytes.resize(kChunkSize);
    m_group.Run([this] { Produce(); });
}

StoredPrefetch::~StoredPrefetch() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_group.Wait();
}

void StoredPrefetch::Produce() {
    for (;;) {
        Chunk* chunk;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_produced - m_consumed < kChunks; });
            if (m_stop)
                return;
            chunk = &m_chunks[m_produced % kChunks];
        }
        const long got = m_reader.Read(chunk->bytes.data(), chunk->bytes.size());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            chunk->length = got;
            ++m_produced;
        }
        m_changed.notify_all();
        if (got <= 0)
            return;
    }
}

long StoredPrefetch::Next(const uint8_t*& data) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_handedOut) {
        const Chunk& previous = m_chunks[m_consumed % kChunks];
        m_handedOut = false;
        // The end and a read error stay where they are.
        if (previous.length <= 0) {
            data = previous.bytes.data();
            return previous.length;
        }
        ++m_consumed;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return m_produced > m_consumed; });
    const Chunk& chunk = m_chunks[m_consumed % kChunks];
    m_handedOut = true;
    data = chunk.bytes.data();
    return chunk.length;
}

} // namespace lumora
