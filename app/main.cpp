// SPDX-License-Identifier: GPL-2.0-or-later
// Lumora, the desktop program: "lumora [PICTURE]".
#include "app/CommandLine.h"
#include "app/DefaultLanguage.h"
#include "app/LanguageChoice.h"
#include "app/LumoraApplication.h"
#include "app/QuitOnSignal.h"
#include "app/Screenshot.h"
#include "app/StartUp.h"
#include "app/TfrmMain.h"
#include "app/Theme.h"
#include "platform/ProcessHardening.h"
#include "platform/ProgramFolders.h"
#include "platform/WorkFolder.h"

#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    lumora::HardenProcess();
    // Answered before Qt looks for a display.
    switch (lumora::FindEarlyAnswer(argc, argv)) {
    case lumora::EarlyAnswer::Help:
        std::fputs(lumora::HelpText().c_str(), stdout);
        return 0;
    case lumora::EarlyAnswer::Version:
        std::fputs(lumora::VersionText().c_str(), stdout);
        return 0;
    case lumora::EarlyAnswer::None:
        break;
    }

    lumora::LumoraApplication app(argc, argv);
    const lumora::CommandLine command = lumora::ParseCommandLine(app.arguments().mid(1));
    if (!command.error.isEmpty()) {
        std::fprintf(stderr, "lumora: %s\nTry 'lumora --help'.\n", qPrintable(command.error));
        return 2;
    }
    lumora::InitTheme(app);
    lumora::QuitOnTerminationSignals(app);
    // Lets the build write the default language file into a folder of its choosing.
    if (qEnvironmentVariableIsSet("LUMORA_PROGRAM_FOLDER"))
        lumora::SetProgramFolderOverride(
            qEnvironmentVariable("LUMORA_PROGRAM_FOLDER").toStdString());
    lumora::RemoveStaleWorkFolders();
    lumora::CopyDefaultLanguageFiles();
    lumora::UseLanguageFile(app, lumora::PickLanguageFile());

    // An error while the windows are built ends the program after its error box.
    lumora::ProgramWindows windows;
    try {
        windows = lumora::CreateWindows();
    } catch (...) {
        lumora::ShowErrorBox(std::current_exception());
        return 1;
    }

    lumora::NameDefaultLanguage();

    lumora::TfrmMain& window = *windows.main;
    if (QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    lumora::StartScreenshot(windows);
    window.show();
    if (!command.picture.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, picture = command.picture] { window.OpenPicture(picture); });
    return app.exec();
}
