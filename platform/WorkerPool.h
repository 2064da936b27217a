// SPDX-License-Identifier: GPL-2.0-or-later
// Worker threads for work that splits into independent tasks (deflating blocks, checking
// entries). One pool serves the whole program; the number of tasks it runs at once is the
// worker count below. With a count of 1 there are no worker threads at all and every task
// runs on the thread that hands it in, so the single-thread path is the plain one.
//
// Rule that keeps the pool free of deadlocks: a task never waits for another task. Work
// that waits (a pipeline's coordinator) runs on the caller's own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace lumora {

inline constexpr int kMaxWorkerThreads = 64;
// The default stops here on large machines: the work this pool does gains little beyond.
inline constexpr int kDefaultWorkerCap = 16;

// The number of workers: the count given to SetWorkerThreads, else a valid LUMORA_THREADS
// from the environment, else one per processor this process may run on (sched_getaffinity),
// at most kDefaultWorkerCap.
int WorkerThreads();
// Sets the count for the whole program; 0 returns to the default. Takes effect for work
// started afterwards.
void SetWorkerThreads(int count);
// A thread count as typed ("4"): a whole number from 1 to kMaxWorkerThreads, else none.
std::optional<int> ParseThreadCount(const std::string& text);

class WorkerPool {
public:
    // The program's pool, sized by WorkerThreads() whenever work is handed in.
    static WorkerPool& Shared();
    // True on one of the pool's threads.
    static bool OnWorker();

    // The tasks run at once: WorkerThreads(); 1 means every task runs on its caller.
    int Threads() const;
    // Whether a caller may hand in a task and wait for it: the pool has threads and the
    // caller is not one of them.
    bool CanWaitForTasks() const { return Threads() > 1 && !OnWorker(); }

    // Queues task (or runs it at once when Threads() is 1). Tasks must not throw.
    void Submit(std::function<void()> task);

private:
    WorkerPool() = default;
};

// Tasks handed to the pool that their owner waits for. The owner's thread waits for every
// task of the group when the group goes, so tasks may use what the owner holds.
class TaskGroup {
public:
    explicit TaskGroup(WorkerPool& pool = WorkerPool::Shared()) : m_pool(pool) {}
    ~TaskGroup() { Wait(); }
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    // Runs task on the pool; a task that throws counts as failed (Failed()).
    void Run(std::function<void()> task);
    // Blocks until done() holds; done is evaluated after every task that ends, so it may
    // read what tasks wrote before they ended.
    void WaitUntil(const std::function<bool()>& done);
    // As WaitUntil, giving up after timeout; true when done() holds.
    bool WaitUntilFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Blocks until every task of the group has ended.
    void Wait();
    bool Failed() const;

private:
    void Finished(bool failed);

    WorkerPool& m_pool;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_running = 0;
    bool m_failed = false;
};

} // namespace lumora
