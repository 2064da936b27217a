// SPDX-License-Identifier: GPL-2.0-or-later
// Enter (or Return) presses the focused push or tool button in every window of the
// program, as Space does. Qt leaves Enter to a dialog's default button, and buttons
// outside dialogs ignore it, so Enter on a focused Cancel would otherwise do nothing, or
// what another button does.
#pragma once

#include <QObject>

namespace lumora {

class EnterPressesButton : public QObject {
public:
    // Watches the application's key presses while `owner` lives.
    explicit EnterPressesButton(QObject* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace lumora
