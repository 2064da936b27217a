// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace lumora {
namespace {

thread_local bool t_onWorker = false;
std::atomic<int> g_activeTasks{0};

int ProcessorsAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const unsigned known = std::thread::hardware_concurrency();
    return known > 0 ? static_cast<int>(known) : 1;
}

struct PoolState {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> queue;
    std::vector<std::thread> threads;

    void Work() {
        t_onWorker = true;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !queue.empty(); });
            std::function<void()> task = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }

    // New threads take no signals: those go to the program's own threads, whose handlers
    // and interrupted system calls expect them.
    void Grow(int wanted) {
        if (static_cast<int>(threads.size()) >= wanted)
            return;
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        while (static_cast<int>(threads.size()) < wanted)
            threads.emplace_back([this] { Work(); });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
};

std::atomic<PoolState*> g_pool{nullptr};

// A child made by fork has none of the pool's threads, and its lock may have been held by
// one of them: it starts a pool of its own, leaving the old one untouched.
void StartAfreshInChild() {
    g_pool = new PoolState();
    g_activeTasks = 0;
}

// Never destroyed: threads still waiting at exit must not be joined then.
PoolState& Pool() {
    static std::once_flag created;
    std::call_once(created, [] {
        g_pool = new PoolState();
        ::pthread_atfork(nullptr, nullptr, StartAfreshInChild);
    });
    return *g_pool;
}

} // namespace

int DefaultWorkerThreads() {
    static const int count = std::min(ProcessorsAvailable(), kDefaultWorkerCap);
    return count;
}

std::optional<int> ParseThreadCount(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int count = std::stoi(text);
    if (count < 1 || count > kMaxWorkerThreads)
        return std::nullopt;
    return count;
}

int ResolveThreadCount(int setting) {
    return setting > 0 ? std::min(setting, kMaxWorkerThreads) : DefaultWorkerThreads();
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool;
    return pool;
}

bool WorkerPool::OnWorker() {
    return t_onWorker;
}

void WorkerPool::Reserve(int threads) {
    PoolState& state = Pool();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.Grow(std::min(threads, kMaxWorkerThreads));
}

void WorkerPool::Submit(std::function<void()> task) {
    PoolState& state = Pool();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.queue.push_back(std::move(task));
    state.wake.notify_one();
}

int WorkerPool::ActiveTasks() {
    return g_activeTasks.load();
}

TaskGroup::TaskGroup(int threads, WorkerPool& pool)
    : m_pool(pool), m_threads(ResolveThreadCount(threads)) {
    if (m_threads > 1)
        m_pool.Reserve(m_threads);
}

bool TaskGroup::RunGuarded(const std::function<void()>& task) {
    try {
        task();
        return true;
    } catch (...) {
        return false;
    }
}

void TaskGroup::Run(std::function<void()> task) {
    if (m_threads <= 1) {
        if (!RunGuarded(task)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
        }
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_running;
    ++g_activeTasks;
    if (m_workers >= m_threads) {
        m_waiting.push_back(std::move(task));
        return;
    }
    ++m_workers;
    m_pool.Submit([this, first = std::move(task)]() mutable { Drain(std::move(first)); });
}

void TaskGroup::Drain(std::function<void()> task) {
    while (task) {
        const bool ok = RunGuarded(task);
        task = nullptr;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failed = m_failed || !ok;
        --m_running;
        --g_activeTasks;
        if (!m_waiting.empty()) {
            task = std::move(m_waiting.front());
            m_waiting.pop_front();
        } else {
            --m_workers;
        }
        // The owner may go as soon as it sees the last task end: nothing of the group is
        // touched after this lock is released, unless a next task was taken.
        m_changed.notify_all();
    }
}

void TaskGroup::WaitUntil(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return done(); });
}

bool TaskGroup::WaitUntilFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(); });
}

void TaskGroup::Wait() {
    WaitUntil([this] { return m_running == 0; });
}

bool TaskGroup::WaitFor(std::chrono::milliseconds timeout) {
    return WaitUntilFor([this] { return m_running == 0; }, timeout);
}

bool TaskGroup::Failed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failed;
}

} // namespace lumora
