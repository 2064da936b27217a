// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/CheckpointDecipher.h"

#include "archive/CipherCheckpoints.h"
#include "archive/StoredDataReader.h"

#include <sodium.h>

namespace lumora {

CheckpointDecipher::CheckpointDecipher(StoredDataReader& reader,
                                       std::span<const PkwareKeys> checkpoints, int threads)
    : m_reader(reader), m_checkpoints(checkpoints), m_group(threads) {
    // Enough stretches for every worker to decipher one while the caller inflates another.
    const size_t count = static_cast<size_t>(m_group.Threads()) + 2;
    for (size_t i = 0; i < count; ++i) {
        m_stretches.push_back(std::make_unique<Stretch>());
        m_stretches.back()->bytes.reset(new uint8_t[kCheckpointSpacing]);
    }
}

CheckpointDecipher::~CheckpointDecipher() {
    m_group.Wait();
    for (auto& stretch : m_stretches) {
        sodium_memzero(stretch->start.data(), sizeof stretch->start);
        sodium_memzero(stretch->end.data(), sizeof stretch->end);
    }
}

void CheckpointDecipher::Schedule() {
    const uint64_t index = m_scheduled++;
    Stretch& stretch = At(index);
    stretch.done = false;
    stretch.joins = true;
    size_t filled = 0;
    long got = 0;
    while (filled < kCheckpointSpacing &&
           (got = m_reader.ReadAsStored(stretch.bytes.get() + filled,
                                        kCheckpointSpacing - filled)) > 0)
        filled += static_cast<size_t>(got);
    stretch.length = got < 0 ? -1 : static_cast<long>(filled);
    m_readEnded = filled < kCheckpointSpacing;
    if (stretch.length <= 0) {
        stretch.done = true;
        return;
    }
    if (index == 0) {
        stretch.start = m_reader.CipherKeys();
    } else if (index - 1 < m_checkpoints.size()) {
        stretch.start = m_checkpoints[index - 1];
    } else {
        // No point recorded here: go on from where the stretch before ended.
        Stretch& before = At(index - 1);
        m_group.WaitUntil([&before] { return before.done.load(); });
        stretch.start = before.end;
    }
    const bool checked = index < m_checkpoints.size();
    m_group.Run([this, &stretch, index, checked] {
        PkwareCipher cipher(stretch.start);
        cipher.Decrypt(stretch.bytes.get(), static_cast<size_t>(stretch.length));
        stretch.end = cipher.Keys();
        // A point recorded at the end of this stretch: the next one starts from it.
        if (checked)
            stretch.joins = stretch.length == static_cast<long>(kCheckpointSpacing) &&
                            stretch.end == m_checkpoints[index];
        stretch.done = true;
    });
}

long CheckpointDecipher::Next(const uint8_t*& data) {
    if (m_handedOut) {
        m_handedOut = false;
        ++m_consumed;
    }
    while (!m_readEnded && m_scheduled < m_consumed + m_stretches.size())
        Schedule();
    if (m_consumed == m_scheduled)
        return 0;
    Stretch& stretch = At(m_consumed);
    m_group.WaitUntil([&stretch] { return stretch.done.load(); });
    if (stretch.length <= 0) {
        m_readEnded = true;
        return stretch.length;
    }
    if (!stretch.joins)
        return -1;
    m_handedOut = true;
    data = stretch.bytes.get();
    return stretch.length;
}

} // namespace lumora
