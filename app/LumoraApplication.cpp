// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/LumoraApplication.h"

#include "qtadapters/Dialogs.h"

#include <exception>

namespace lumora {

LumoraApplication::LumoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("lumora"));
    setApplicationVersion(QStringLiteral(LUMORA_SHORT_VERSION));
    setDesktopFileName(QStringLiteral("lumora"));
}

bool LumoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowErrorBox(std::current_exception());
    }
    return false;
}

void ShowErrorBox(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
    }
    Dialogs().Error(QApplication::activeWindow(), QString::fromLatin1(kProgramTitle), text);
}

} // namespace lumora
