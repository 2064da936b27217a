// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/BackgroundWork.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>
#include <new>

namespace lumora {
namespace {

constexpr int kPollMs = 20;

// What the task and the interface thread share; the last of the two to let go frees it.
struct Shared {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::atomic<int> step{-1}; // ProgressStep, -1 before the first report
    std::atomic<int64_t> done{0};
    std::atomic<int64_t> total{0};
    Status result; // written by the task before finished is set
};

class SharedObserver : public CProgressObserver {
public:
    explicit SharedObserver(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
    bool OnProgress(ProgressStep step, int64_t done, int64_t total) override {
        m_shared->done = done;
        m_shared->total = total;
        m_shared->step = static_cast<int>(step);
        return !m_shared->cancelled;
    }

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace

Status RunInBackground(QWidget* owner, const QString& caption,
                       const ProgressWatch::MessageLookup& message, BackgroundTask task) {
    auto shared = std::make_shared<Shared>();
    QThreadPool::globalInstance()->start([shared, task = std::move(task)] {
        SharedObserver observer(shared);
        Status status;
        try {
            status = task(observer);
        } catch (const std::bad_alloc&) {
            status = Status::Fail(Reason::NoMemory);
        } catch (const std::exception&) {
            status = Status::Fail(Reason::ReadFailed);
        }
        shared->result = std::move(status);
        shared->finished.store(true, std::memory_order_release);
    });

    ProgressWatch watch(owner, caption, message, true);
    // Wakes the loop below while no other event arrives.
    QTimer tick;
    tick.start(kPollMs);
    while (!shared->finished.load(std::memory_order_acquire)) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
        const int step = shared->step;
        // The watch lets the dialog take the user's input once it is shown.
        const bool goOn = step < 0 ? watch.KeepGoing()
                                   : watch.OnProgress(static_cast<ProgressStep>(step), shared->done,
                                                      shared->total);
        if (!goOn) {
            shared->cancelled = true;
            return Status::Fail(Reason::Cancelled);
        }
    }
    return shared->result;
}

} // namespace lumora
