// SPDX-License-Identifier: GPL-2.0-or-later
// The end of the desktop session (a logout, a shutdown) as the program meets it. Before
// ending it, the session manager asks every program to commit its data, with or without
// leave to ask the user. With leave, unsaved work brings the usual question before
// quitting, and No keeps the session going. Whenever the session may end, nothing
// decrypted is kept on disk: the workflow frame is closed, which releases the engine and
// its working folder, and the last close asks nothing more. A session that restarts its
// programs at the next login is asked not to restart this one: it would only come back
// empty, or ask for a password nobody is expecting.
#pragma once

#include <QObject>

namespace lumora {

class TframeMsg;

// True when nothing of the frame's runs beneath the events handled now: no operation
// behind a progress dialog and no dialog of the program's own, whose caller may still use
// the open carrier once it returns.
[[nodiscard]] bool FrameIsIdle();

class SessionEnd : public QObject {
public:
    // Parented to `frame`; answers the application's session manager when there is one.
    explicit SessionEnd(TframeMsg& frame);

    // A request to commit data: true when the session may end. `mayAsk` is the session
    // manager's leave to ask the user. While the frame is busy, it is closed as soon as it
    // is idle again.
    [[nodiscard]] bool CommitData(bool mayAsk);
    // True while the session has been let end and the frame waits to be closed: the window
    // then closes without asking again.
    bool ClosePending() const { return m_closePending; }

private:
    void CloseFrameWhenIdle();

    TframeMsg& m_frame;
    bool m_closePending = false;
};

} // namespace lumora
