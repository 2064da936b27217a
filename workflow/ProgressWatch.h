// SPDX-License-Identifier: GPL-2.0-or-later
// The engine's progress observer for the desktop program: a window-modal progress dialog
// with the operation's caption, the current step, a bar and (optionally) a Cancel button.
// It appears only when the operation runs longer than about half a second, and keeps the
// windows repainting while the engine works on the interface thread. A step without a
// measure (the key derivation) shows a busy bar.
#pragma once

#include "engine/Outcome.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QProgressBar;
class QProgressDialog;
class QWidget;

namespace lumora {

class ProgressWatch : public CProgressObserver {
public:
    // The message texts by key (the frame's language component).
    using MessageLookup = std::function<QString(const char* key)>;

    ProgressWatch(QWidget* owner, const QString& caption, MessageLookup message, bool cancellable);
    ~ProgressWatch() override;
    ProgressWatch(const ProgressWatch&) = delete;
    ProgressWatch& operator=(const ProgressWatch&) = delete;

    bool OnProgress(ProgressStep step, int64_t bytesDone, int64_t bytesTotal) override;
    bool WasCancelled() const;
    // Lets the windows repaint (and the dialog, once shown, take the user's input) while
    // no step has been reported yet; false once cancelled.
    bool KeepGoing();
    // True while any watch exists: an operation is running beneath the events handled now,
    // so what it works on must not be taken away.
    static bool AnyRunning();

private:
    QString StepText(ProgressStep step) const;
    void ProcessEvents();

    std::unique_ptr<QProgressDialog> m_dialog;
    QProgressBar* m_bar = nullptr; // owned by the dialog
    QString m_caption;
    MessageLookup m_message;
    bool m_cancellable;
    std::optional<ProgressStep> m_step;
    QElapsedTimer m_sinceEvents;
};

} // namespace lumora
