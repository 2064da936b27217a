// SPDX-License-Identifier: GPL-2.0-or-later
// CUnzipper::ReadEntries: entries read side by side on the worker pool, begun and ended in
// order on the caller's thread. Deciphering and inflating are sequential within an entry,
// so separate entries are what workers can share.
#include "archive/Unzipper.h"

#include "platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>

namespace lumora {
namespace {

// Positions begun and not yet ended, per worker: enough to keep every worker busy while
// the caller ends a position, few enough that little is held open.
constexpr size_t kAheadPerWorker = 2;

// Raises a flag when it goes, however its scope is left.
class RaiseOnExit {
public:
    explicit RaiseOnExit(std::atomic<bool>& flag) : m_flag(flag) {}
    ~RaiseOnExit() { m_flag = true; }
    RaiseOnExit(const RaiseOnExit&) = delete;
    RaiseOnExit& operator=(const RaiseOnExit&) = delete;

private:
    std::atomic<bool>& m_flag;
};

} // namespace

EntryCheck CUnzipper::ReadEntriesInTurn(const std::vector<int>& indices, const EntryBegin& begin,
                                        const EntryEnd& end) {
    const ArchiveProgress told = m_progress;
    uint64_t before = 0; // bytes of the entries read before the current one
    uint64_t current = 0;
    bool cancelled = false;
    m_progress = [&](uint64_t bytes) {
        current = bytes;
        cancelled = told && !told(before + bytes);
        return !cancelled;
    };
    EntryCheck result = EntryCheck::Ok;
    for (size_t at = 0; at < indices.size(); ++at) {
        Sink sink;
        if (begin(at, true, sink) != Begin::Now)
            break;
        current = 0;
        const EntryCheck check = ReadEntryAt(indices[at], sink);
        before += current;
        if (cancelled) {
            result = EntryCheck::Cancelled;
            break;
        }
        if (!end(at, check))
            break;
    }
    m_progress = told;
    return result;
}

EntryCheck CUnzipper::ReadEntries(const std::vector<int>& indices, const EntryBegin& begin,
                                  const EntryEnd& end) {
    const size_t count = indices.size();
    const size_t workers =
        WorkerPool::CanWaitForTasks(m_threads)
            ? std::min<size_t>(static_cast<size_t>(ResolveThreadCount(m_threads)), count)
            : 0;
    // One entry goes alone, deciphered ahead of inflate (ReadEntryAt).
    if (workers <= 1)
        return ReadEntriesInTurn(indices, begin, end);

    std::vector<Sink> sinks(count);
    std::vector<EntryCheck> checks(count, EntryCheck::Ok);
    const auto read = std::make_unique<std::atomic<bool>[]>(count);
    std::atomic<uint64_t> done{0};
    std::atomic<bool> stop{false};
    // Readers of the archive, one per task running; opened by the first task that needs one.
    std::mutex readersMutex;
    std::vector<std::unique_ptr<CUnzipper>> idleReaders;
    auto readAt = [&](size_t at) {
        std::unique_ptr<CUnzipper> reader;
        {
            std::lock_guard<std::mutex> lock(readersMutex);
            if (!idleReaders.empty()) {
                reader = std::move(idleReaders.back());
                idleReaders.pop_back();
            }
        }
        if (!reader) {
            reader = std::make_unique<CUnzipper>();
            if (reader->OpenSameAs(*this) == EntryCheck::Ok) {
                reader->SetPassword(m_password);
                reader->SetCipherCheckpoints(m_checkpoints);
            } else {
                reader.reset();
            }
        }
        if (!reader) {
            checks[at] = EntryCheck::Damaged;
        } else {
            uint64_t entryDone = 0;
            reader->SetProgress([&](uint64_t bytes) {
                done += bytes - entryDone;
                entryDone = bytes;
                return !stop;
            });
            checks[at] = stop ? EntryCheck::Cancelled : reader->ReadEntryAt(indices[at], sinks[at]);
            reader->SetProgress(nullptr);
            std::lock_guard<std::mutex> lock(readersMutex);
            idleReaders.push_back(std::move(reader));
        }
        read[at] = true;
    };

    bool cancelled = false;
    {
        TaskGroup group(static_cast<int>(workers));
        // Whatever ends the batch, the entries still being read stop before the group waits.
        const RaiseOnExit stopOnExit(stop);
        size_t begun = 0;
        bool refused = false;
        for (size_t ended = 0; ended < count; ++ended) {
            for (; !refused && begun < count && begun < ended + kAheadPerWorker * workers;
                 ++begun) {
                const Begin answer = begin(begun, begun == ended, sinks[begun]);
                refused = answer == Begin::Stop || (answer == Begin::Later && begun == ended);
                if (answer != Begin::Now)
                    break;
                group.Run([&readAt, at = begun] { readAt(at); });
            }
            if (ended == begun)
                break;
            // Progress is told, and Cancel heard, on this thread only: at once, then at every
            // interval until the entry is read (a task that threw never reads it).
            bool ready = false;
            while (!ready && !group.Failed()) {
                if (!ReportProgress(done)) {
                    cancelled = true;
                    break;
                }
                ready =
                    group.WaitUntilFor([&] { return read[ended].load(); }, kWorkerProgressInterval);
            }
            if (!ready || !end(ended, checks[ended]))
                break;
        }
        stop = true;
        group.Wait();
        // Only memory running out makes a task throw; on one thread it would reach the
        // caller as well.
        if (group.Failed())
            throw std::bad_alloc();
    }
    return cancelled ? EntryCheck::Cancelled : EntryCheck::Ok;
}

} // namespace lumora
