// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/ProgressWatch.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QProgressDialog>
#include <algorithm>

namespace lumora {
namespace {

constexpr int kBarSteps = 1000;
constexpr int kShowAfterMs = 500;
constexpr qint64 kRepaintEveryMs = 40;

// Watches live on the interface thread only.
int g_runningWatches = 0;

// The message that shows a step.
const char* StepKey(ProgressStep step) {
    switch (step) {
    case ProgressStep::CopyingImage:
        return "strStepCopying";
    case ProgressStep::Packing:
        return "strStepPacking";
    case ProgressStep::Encrypting:
        return "strStepEncrypting";
    case ProgressStep::Decrypting:
        return "strStepDecrypting";
    case ProgressStep::Unpacking:
        return "strStepUnpacking";
    case ProgressStep::Checking:
        return "strStepChecking";
    case ProgressStep::DerivingKey:
        return "strStepDerivingKey";
    }
    return "strStepChecking";
}

} // namespace

ProgressWatch::ProgressWatch(QWidget* owner, const QString& caption, MessageLookup message,
                             bool cancellable)
    : m_dialog(std::make_unique<QProgressDialog>(owner)), m_caption(caption),
      m_message(std::move(message)), m_cancellable(cancellable) {
    m_dialog->setObjectName(QStringLiteral("dlgProgress"));
    m_dialog->setWindowTitle(m_message("strrAppName"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(kShowAfterMs);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumWidth(360);
    // The dialog's own bar; switching its range directly never resets the dialog.
    m_bar = new QProgressBar(m_dialog.get());
    m_dialog->setBar(m_bar);
    m_dialog->setRange(0, kBarSteps);
    m_dialog->setLabelText(caption);
    if (cancellable)
        m_dialog->setCancelButtonText(m_message("strCancel"));
    else
        m_dialog->setCancelButton(nullptr);
    m_dialog->setValue(0); // starts the dialog's clock towards showing itself
    ++g_runningWatches;
}

ProgressWatch::~ProgressWatch() {
    --g_runningWatches;
    m_dialog->hide();
}

bool ProgressWatch::AnyRunning() {
    return g_runningWatches > 0;
}

bool ProgressWatch::OnProgress(ProgressStep step, int64_t bytesDone, int64_t bytesTotal) {
    // Once cancelled, the dialog is gone and stays gone, whatever step reports next.
    if (WasCancelled())
        return false;
    const bool newStep = m_step != step;
    if (newStep) {
        m_step = step;
        m_dialog->setLabelText(m_caption + QLatin1Char('\n') + StepText(step));
    }
    if (step == ProgressStep::DerivingKey) {
        m_bar->setRange(0, 0);
    } else {
        if (m_bar->maximum() == 0)
            m_bar->setRange(0, kBarSteps);
        // Each step fills the bar anew. The value never returns to the minimum, which would
        // restart the dialog's clock.
        const int64_t scaled = bytesTotal > 0 ? bytesDone * kBarSteps / bytesTotal : kBarSteps;
        const int value = static_cast<int>(std::clamp<int64_t>(scaled, 1, kBarSteps));
        if (value != m_dialog->value())
            m_dialog->setValue(value);
    }
    if (newStep || !m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= kRepaintEveryMs)
        ProcessEvents();
    return !WasCancelled();
}

bool ProgressWatch::KeepGoing() {
    if (!WasCancelled() && (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= kRepaintEveryMs))
        ProcessEvents();
    return !WasCancelled();
}

void ProgressWatch::ProcessEvents() {
    // Until the dialog blocks the window, clicks and keys must wait: they could start
    // another operation while this one runs.
    QCoreApplication::processEvents(m_dialog->isVisible() ? QEventLoop::AllEvents
                                                          : QEventLoop::ExcludeUserInputEvents);
    m_sinceEvents.start();
}

bool ProgressWatch::WasCancelled() const {
    // Without a Cancel button, Esc and the close box only hide the dialog.
    return m_cancellable && m_dialog->wasCanceled();
}

QString ProgressWatch::StepText(ProgressStep step) const {
    return m_message(StepKey(step));
}

} // namespace lumora
