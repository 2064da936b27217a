// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/RunProgram.h"

#include "app/CommandLine.h"
#include "app/DefaultLanguage.h"
#include "app/LanguageChoice.h"
#include "app/LumoraApplication.h"
#include "app/QuitOnSignal.h"
#include "app/StartUp.h"
#include "app/TfrmMain.h"
#include "app/Theme.h"
#include "platform/ProcessHardening.h"
#include "platform/WorkFolder.h"

#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace lumora {

int RunProgram(int argc, char** argv,
               const std::function<void(const ProgramWindows&)>& beforeShow) {
    // Best effort: a kernel that refuses leaves nothing better to do than to go on.
    static_cast<void>(HardenProcess());
    // Answered before Qt looks for a display.
    switch (FindEarlyAnswer(argc, argv)) {
    case EarlyAnswer::Help:
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    case EarlyAnswer::Version:
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    case EarlyAnswer::None:
        break;
    }

    // Refused before Qt looks for a display too.
    const CommandLine command = ParseCommandLine(argc, argv);
    if (!command.error.isEmpty()) {
        std::fprintf(stderr, "lumora: %s\nTry 'lumora --help'.\n",
                     command.error.toLocal8Bit().constData());
        return 2;
    }

    LumoraApplication app(argc, argv);
    InitTheme(app);
    QuitOnTerminationSignals(app);
    RemoveStaleWorkFolders();
    CopyDefaultLanguageFiles();
    UseLanguageFile(app, PickLanguageFile());

    // An error while the windows are built ends the program after its error box.
    ProgramWindows windows;
    try {
        windows = CreateWindows();
    } catch (...) {
        ShowErrorBox(std::current_exception());
        return 1;
    }

    NameDefaultLanguage();

    TfrmMain& window = *windows.main;
    if (QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    if (beforeShow)
        beforeShow(windows);
    window.show();
    if (!command.picture.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, picture = command.picture] { window.OpenPicture(picture); });
    return app.exec();
}

} // namespace lumora
