// SPDX-License-Identifier: GPL-2.0-or-later
// The application object: an exception that escapes an event handler is shown in an
// error box and the program carries on.
#pragma once

#include <QApplication>

namespace lumora {

// Title of the error boxes the program shows for errors of its own.
inline constexpr char kProgramTitle[] = "Lumora";

class LumoraApplication : public QApplication {
    Q_OBJECT
public:
    LumoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the error box for an exception caught by the program; the exception's text, or
// an empty box when it has none.
void ShowErrorBox(std::exception_ptr error);

} // namespace lumora
