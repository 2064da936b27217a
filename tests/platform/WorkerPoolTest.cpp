// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/WorkerPool.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace lumora {
namespace {

TEST(WorkerPool, ThreadCountsAsTypedAndAsSet) {
    const struct {
        const char* text;
        std::optional<int> count;
    } typed[] = {{"1", 1},
                 {"2", 2},
                 {"064", 64},
                 {"64", 64},
                 {"0", std::nullopt},
                 {"65", std::nullopt},
                 {"", std::nullopt},
                 {"-1", std::nullopt},
                 {"2x", std::nullopt},
                 {" 2", std::nullopt},
                 {"1000", std::nullopt}};
    for (const auto& c : typed)
        EXPECT_EQ(c.count, ParseThreadCount(c.text)) << '"' << c.text << '"';

    const int fallback = DefaultWorkerThreads();
    EXPECT_GE(fallback, 1);
    EXPECT_LE(fallback, kDefaultWorkerCap);
    EXPECT_EQ(fallback, ResolveThreadCount(0));
    EXPECT_EQ(fallback, ResolveThreadCount(-3));
    EXPECT_EQ(3, ResolveThreadCount(3));
    EXPECT_EQ(kMaxWorkerThreads, ResolveThreadCount(1000));

    // The default setting (0) waits for workers wherever there is more than one processor.
    EXPECT_EQ(fallback > 1, WorkerPool::CanWaitForTasks(0));
    EXPECT_FALSE(WorkerPool::CanWaitForTasks(1));
    EXPECT_TRUE(WorkerPool::CanWaitForTasks(2));
    bool onWorker = true;
    TaskGroup(2).Run([&onWorker] { onWorker = WorkerPool::CanWaitForTasks(2); });
    EXPECT_FALSE(onWorker); // a task never waits for other tasks
}

TEST(WorkerPool, AGroupOfOneThreadRunsEachTaskOnTheCallerAtOnce) {
    TaskGroup group(1);
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) {
        group.Run([&order, i] {
            EXPECT_FALSE(WorkerPool::OnWorker());
            order.push_back(i);
        });
        EXPECT_EQ(static_cast<size_t>(i + 1), order.size());
    }
    EXPECT_FALSE(group.Failed());
    group.Run([] { throw std::runtime_error("task failed"); });
    EXPECT_TRUE(group.Failed());
    EXPECT_EQ(0, WorkerPool::ActiveTasks());
}

TEST(WorkerPool, AGroupRunsAtMostItsThreadsAtOnceOnWorkers) {
    for (int threads : {2, 3}) {
        SCOPED_TRACE(threads);
        std::atomic<int> running{0}, most{0}, ran{0};
        std::atomic<bool> onCaller{false};
        {
            TaskGroup group(threads);
            for (int i = 0; i < 12; ++i) {
                group.Run([&] {
                    const int now = ++running;
                    for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
                    }
                    onCaller = onCaller || !WorkerPool::OnWorker();
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    --running;
                    ++ran;
                });
            }
            group.Run([] { throw std::runtime_error("task failed"); });
            group.Wait();
            EXPECT_TRUE(group.Failed());
            EXPECT_EQ(0, WorkerPool::ActiveTasks());
        }
        EXPECT_EQ(12, ran);
        EXPECT_LE(most, threads);
        EXPECT_FALSE(onCaller);
        // Once waiting, the group is done: nothing still runs that uses what it held.
        EXPECT_EQ(0, running);
    }
}

} // namespace
} // namespace lumora
