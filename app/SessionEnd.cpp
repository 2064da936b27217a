// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/SessionEnd.h"

#include "workflow/ProgressWatch.h"
#include "workflow/TframeMsg.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QThread>
#include <QTimer>

namespace lumora {
namespace {

// How often a close that had to wait looks again whether the frame is idle.
constexpr int kIdlePollMs = 100;

} // namespace

bool FrameIsIdle() {
    return !ProgressWatch::AnyRunning() && QThread::currentThread()->loopLevel() <= 1;
}

SessionEnd::SessionEnd(TframeMsg& frame) : QObject(&frame), m_frame(frame) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return;
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        // allowsInteraction() waits for the session manager's leave; release() gives it
        // back once the question has been answered.
        const bool mayAsk = manager.allowsInteraction();
        const bool mayEnd = CommitData(mayAsk);
        if (mayAsk)
            manager.release();
        if (!mayEnd)
            manager.cancel();
    });
    connect(app, &QGuiApplication::saveStateRequest, this, [](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
}

bool SessionEnd::CommitData(bool mayAsk) {
    if (mayAsk && !m_frame.MayClose())
        return false;
    m_closePending = true;
    CloseFrameWhenIdle();
    return true;
}

void SessionEnd::CloseFrameWhenIdle() {
    if (!FrameIsIdle()) {
        QTimer::singleShot(kIdlePollMs, this, [this] { CloseFrameWhenIdle(); });
        return;
    }
    if (m_frame.isHidden())
        m_frame.ReleaseEngine();
    else
        m_frame.CloseFrame();
    // A logout that another program cancels leaves the user working here as before.
    m_closePending = false;
}

} // namespace lumora
