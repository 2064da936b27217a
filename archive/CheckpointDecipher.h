// SPDX-License-Identifier: GPL-2.0-or-later
// Deciphers an entry's stored data in stretches of kCheckpointSpacing bytes side by side
// on the worker pool, each from the writer's keys at its start (CipherCheckpoints), while
// the caller inflates. The first stretch starts from the reader's own keys, and a stretch
// is handed out only when the keys it ended on are those the next one started from: the
// bytes are then exactly those of one reader deciphering from the start, and anything
// else reads as damaged data. For a large entry that a save has just written, whose
// decipher would otherwise run on one thread. Each task deciphers a group of stretches
// side by side (PkwareCipher::DecryptSideBySide), so even one thread goes faster than one
// reader from the start. With more than one thread only for callers that may wait for
// tasks (WorkerPool::CanWaitForTasks).
#pragma once

#include "archive/PkwareCipher.h"
#include "platform/WorkerPool.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace lumora {

class StoredDataReader;

class CheckpointDecipher {
public:
    // Reads from reader, opened on an encrypted entry, which must stay open, and untouched
    // by the caller, until this object is gone; checkpoints must outlive it as well.
    CheckpointDecipher(StoredDataReader& reader, std::span<const PkwareKeys> checkpoints,
                       int threads);
    ~CheckpointDecipher();
    CheckpointDecipher(const CheckpointDecipher&) = delete;
    CheckpointDecipher& operator=(const CheckpointDecipher&) = delete;

    // As StoredPrefetch::Next: the next deciphered bytes, valid until the next call; their
    // length, 0 at the end, -1 on a read error or keys that do not join.
    [[nodiscard]] long Next(const uint8_t*& data);

private:
    // Stretches deciphered side by side by one task.
    static constexpr size_t kGroup = PkwareCipher::kSideBySide;

    struct Stretch {
        std::unique_ptr<uint8_t[]> bytes;
        long length = 0;
        uint64_t index = 0;
        PkwareKeys start{};
        PkwareKeys end{};
        bool checked = false; // a point was recorded at its end
        bool joins = true;    // ends on the keys the next stretch starts from
        std::atomic<bool> done{false};
    };

    // Reads the next stretches as stored, up to a group, and starts deciphering them.
    void Schedule();
    // Reads stretch number index and sets its start; false at the end or on an error.
    [[nodiscard]] bool ReadStretch(Stretch& stretch, uint64_t index);
    Stretch& At(uint64_t index) { return *m_stretches[index % m_stretches.size()]; }

    StoredDataReader& m_reader;
    std::span<const PkwareKeys> m_checkpoints;
    std::vector<std::unique_ptr<Stretch>> m_stretches;
    uint64_t m_scheduled = 0;
    uint64_t m_consumed = 0;
    bool m_handedOut = false;
    bool m_readEnded = false;
    TaskGroup m_group; // last: waited for before the rest goes
};

} // namespace lumora
