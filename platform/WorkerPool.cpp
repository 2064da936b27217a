// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/WorkerPool.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace lumora {
namespace {

std::atomic<int> g_setCount{0};
thread_local bool t_onWorker = false;

int ProcessorsAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const unsigned known = std::thread::hardware_concurrency();
    return known > 0 ? static_cast<int>(known) : 1;
}

int DefaultCount() {
    static const int count = [] {
        const char* text = std::getenv("LUMORA_THREADS");
        if (text != nullptr) {
            if (std::optional<int> chosen = ParseThreadCount(text))
                return *chosen;
        }
        return std::min(ProcessorsAvailable(), kDefaultWorkerCap);
    }();
    return count;
}

} // namespace

int WorkerThreads() {
    const int set = g_setCount.load(std::memory_order_relaxed);
    return set > 0 ? set : DefaultCount();
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

namespace {

struct PoolState {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> queue;
    std::vector<std::thread> threads;
    int running = 0;

    void Work() {
        t_onWorker = true;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // A lowered count holds the surplus threads back.
            wake.wait(lock, [this] { return !queue.empty() && running < WorkerThreads(); });
            std::function<void()> task = std::move(queue.front());
            queue.pop_front();
            ++running;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            --running;
            wake.notify_all();
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

void SetWorkerThreads(int count) {
    g_setCount.store(count > 0 ? std::min(count, kMaxWorkerThreads) : 0);
    PoolState& state = Pool();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.wake.notify_all();
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool;
    return pool;
}

bool WorkerPool::OnWorker() {
    return t_onWorker;
}

int WorkerPool::Threads() const {
    return WorkerThreads();
}

void WorkerPool::Submit(std::function<void()> task) {
    const int threads = Threads();
    if (threads <= 1) {
        task();
        return;
    }
    PoolState& state = Pool();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.Grow(threads);
    state.queue.push_back(std::move(task));
    state.wake.notify_all();
}

void TaskGroup::Run(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_running;
    }
    m_pool.Submit([this, task = std::move(task)] {
        bool failed = false;
        try {
            task();
        } catch (...) {
            failed = true;
        }
        Finished(failed);
    });
}

void TaskGroup::Finished(bool failed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_running;
    m_failed = m_failed || failed;
    m_changed.notify_all();
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

bool TaskGroup::Failed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failed;
}

} // namespace lumora
