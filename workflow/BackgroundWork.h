// SPDX-License-Identifier: GPL-2.0-or-later
// Runs engine work off the interface thread behind the frame's progress dialog: the key
// derivation of sealed carriers cannot be interrupted, and the windows must stay
// responsive meanwhile. Cancel returns at once; the work then runs on to its end by itself,
// on what it owns, and its result is dropped.
#pragma once

#include "workflow/ProgressWatch.h"

#include <functional>

namespace lumora {

// The work: it reports to observer (which is safe to call from the work's thread and
// asks it to stop once the user cancelled) and must own everything it touches, since it
// may outlive the call that started it.
using BackgroundTask = std::function<Status(CProgressObserver& observer)>;

// Runs task on the application's thread pool and waits for it, showing its progress like
// ProgressWatch. Cancelled at once when the user cancels; otherwise the task's status.
Status RunInBackground(QWidget* owner, const QString& caption,
                       const ProgressWatch::MessageLookup& message, BackgroundTask task);

} // namespace lumora
