// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/CheckpointDecipher.h"

#include "archive/CipherCheckpoints.h"
#include "archive/StoredDataReader.h"

#include <array>
#include <sodium.h>

namespace lumora {

CheckpointDecipher::CheckpointDecipher(StoredDataReader& reader,
                                       std::span<const PkwareKeys> checkpoints, int threads)
    : m_reader(reader), m_checkpoints(checkpoints), m_group(threads) {
    // A group of stretches for every worker to decipher while the caller inflates another;
    // on one thread a group is deciphered at once when it is read.
    const size_t threadCount = static_cast<size_t>(m_group.Threads());
    const size_t count = kGroup * (threadCount > 1 ? threadCount + 1 : 1);
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

bool CheckpointDecipher::ReadStretch(Stretch& stretch, uint64_t index) {
    stretch.done = false;
    stretch.joins = true;
    stretch.checked = index < m_checkpoints.size();
    stretch.index = index;
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
        return false;
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
    return true;
}

void CheckpointDecipher::Schedule() {
    std::array<Stretch*, kGroup> group{};
    size_t count = 0;
    while (count < kGroup && !m_readEnded) {
        const uint64_t index = m_scheduled;
        // A stretch without a recorded start waits for the one before: not in its group.
        const bool recorded = index == 0 || index - 1 < m_checkpoints.size();
        if (!recorded && count > 0)
            break;
        ++m_scheduled;
        Stretch& stretch = At(index);
        if (!ReadStretch(stretch, index))
            break;
        group[count++] = &stretch;
        if (!recorded)
            break;
    }
    if (count == 0)
        return;
    m_group.Run([this, group, count] {
        std::array<PkwareKeys, kGroup> keys{};
        std::array<std::span<uint8_t>, kGroup> data{};
        for (size_t i = 0; i < count; ++i) {
            keys[i] = group[i]->start;
            data[i] = {group[i]->bytes.get(), static_cast<size_t>(group[i]->length)};
        }
        PkwareCipher::DecryptSideBySide({keys.data(), count}, {data.data(), count});
        for (size_t i = 0; i < count; ++i) {
            Stretch& stretch = *group[i];
            stretch.end = keys[i];
            // A point recorded at the end of this stretch: the next one starts from it.
            if (stretch.checked)
                stretch.joins = stretch.length == static_cast<long>(kCheckpointSpacing) &&
                                stretch.end == m_checkpoints[stretch.index];
            stretch.done = true;
        }
        sodium_memzero(keys.data(), sizeof keys);
    });
}

long CheckpointDecipher::Next(const uint8_t*& data) {
    if (m_handedOut) {
        m_handedOut = false;
        ++m_consumed;
    }
    // Groups are read whole, into stretches the caller is done with.
    while (!m_readEnded && m_scheduled + kGroup <= m_consumed + m_stretches.size())
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
