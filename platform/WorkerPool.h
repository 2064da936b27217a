// SPDX-License-Identifier: GPL-2.0-or-later
// Worker threads for work that splits into independent tasks (deflating blocks, checking
// entries, reading ahead). One pool serves the whole program and grows to the largest
// number of threads any work asked for; each TaskGroup runs at most its own number of
// tasks at once. A group of one thread uses no worker at all: its tasks run on the thread
// that hands them in, so the single-thread path is the plain one.
//
// Rule that keeps the pool free of deadlocks: a task never waits for another task. Work
// that waits (a pipeline's coordinator) runs on the caller's own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace lumora {

inline constexpr int kMaxWorkerThreads = 64;
// The default stops here on large machines: the work this pool does gains little beyond.
inline constexpr int kDefaultWorkerCap = 16;

// How often a caller waiting for workers tells their progress and hears Cancel.
inline constexpr std::chrono::milliseconds kWorkerProgressInterval{50};

// One thread per processor this process may run on (sched_getaffinity), at most
// kDefaultWorkerCap.
int DefaultWorkerThreads();
// A thread count as typed ("4"): a whole number from 1 to kMaxWorkerThreads, else none.
std::optional<int> ParseThreadCount(const std::string& text);
// The count a setting stands for: 0 (or less) is DefaultWorkerThreads(), and no count
// goes beyond kMaxWorkerThreads.
int ResolveThreadCount(int setting);

class WorkerPool {
public:
    // The program's pool.
    static WorkerPool& Shared();
    // True on one of the pool's threads.
    static bool OnWorker();
    // Whether work on `threads` threads (a setting, see ResolveThreadCount) may hand in
    // tasks and wait for them here: there is more than one thread and this one is not a
    // worker.
    static bool CanWaitForTasks(int threads) {
        return ResolveThreadCount(threads) > 1 && !OnWorker();
    }

    // Starts workers until there are `threads` of them (at most kMaxWorkerThreads).
    void Reserve(int threads);
    // Queues a task for the next free worker. Tasks must not throw.
    void Submit(std::function<void()> task);
    // Tasks of every TaskGroup handed in and not yet ended, queued or running.
    static int ActiveTasks();

private:
    WorkerPool() = default;
};

// Tasks handed to the pool that their owner waits for. The owner's thread waits for every
// task of the group when the group goes, so tasks may use what the owner holds.
class TaskGroup {
public:
    // At most `threads` of the group's tasks run at once (ResolveThreadCount applies).
    explicit TaskGroup(int threads, WorkerPool& pool = WorkerPool::Shared());
    ~TaskGroup() { Wait(); }
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    int Threads() const { return m_threads; }
    // Runs task on the pool, or at once on this thread for a group of one thread; a task
    // that throws counts as failed (Failed()).
    void Run(std::function<void()> task);
    // Blocks until done() holds; done is evaluated after every task that ends, so it may
    // read what tasks wrote before they ended.
    void WaitUntil(const std::function<bool()>& done);
    // As WaitUntil, giving up after timeout; true when done() holds.
    [[nodiscard]] bool WaitUntilFor(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout);
    // Blocks until every task of the group has ended.
    void Wait();
    // As Wait, giving up after timeout; true when every task has ended.
    [[nodiscard]] bool WaitFor(std::chrono::milliseconds timeout);
    bool Failed() const;

private:
    // Runs tasks of the group on one worker until none is waiting.
    void Drain(std::function<void()> task);
    [[nodiscard]] static bool RunGuarded(const std::function<void()>& task);

    WorkerPool& m_pool;
    const int m_threads;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_waiting; // handed in, no worker free for them yet
    int m_running = 0;                           // handed in and not ended
    int m_workers = 0;                           // workers draining this group
    bool m_failed = false;
};

} // namespace lumora
