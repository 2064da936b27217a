// SPDX-License-Identifier: GPL-2.0-or-later
// Runs engine work off the interface thread behind the frame's progress dialog: the key
// derivation of sealed carriers cannot be interrupted, and the windows must stay
// responsive meanwhile. Cancel returns at once; the work then runs on to its end by itself,
// on what it owns, and its result is dropped.
#pragma once

#include "workflow/ProgressWatch.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace lumora {

// The work: it reports to observer (which is safe to call from the work's thread and
// asks it to stop once the user cancelled) and must own everything it touches, since it
// may outlive the call that started it.
using BackgroundTask = std::function<Status(CProgressObserver& observer)>;

// Runs task on the application's thread pool and waits for it, showing its progress like
// ProgressWatch. Cancelled at once when the user cancels; otherwise the task's status.
Status RunInBackground(QWidget* owner, const QString& caption,
                       const ProgressWatch::MessageLookup& message, BackgroundTask task);

// Runs work on the application's thread pool without waiting or showing anything, and
// hands its result to done on receiver's thread once it is there. done never runs after
// receiver is gone: its watcher goes with it. work must own everything it touches, and
// tell its failures in its result: what it throws is dropped, and done is not called.
template <typename Result>
void RunDetached(QObject* receiver, std::function<Result()> work,
                 std::function<void(const Result&)> done) {
    auto promise = std::make_shared<QPromise<Result>>();
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver, [watcher, done] {
        if (watcher->future().resultCount() > 0)
            done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        try {
            promise->addResult(work());
        } catch (...) {
            // Nothing to hand on; the watcher still hears that the work is over.
        }
        promise->finish();
    });
}

} // namespace lumora
