// SPDX-License-Identifier: GPL-2.0-or-later
// Lumora, the desktop program. It reads no command line and starts with no picture.
#include "app/DefaultLanguage.h"
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

int main(int argc, char** argv) {
    lumora::HardenProcess();
    lumora::LumoraApplication app(argc, argv);
    lumora::InitTheme(app);
    lumora::QuitOnTerminationSignals(app);
    // Lets the build write the default language file into a folder of its choosing.
    if (qEnvironmentVariableIsSet("LUMORA_PROGRAM_FOLDER"))
        lumora::SetProgramFolderOverride(
            qEnvironmentVariable("LUMORA_PROGRAM_FOLDER").toStdString());
    lumora::RemoveStaleWorkFolders();
    lumora::CopyDefaultLanguageFile();

    // An error while the windows are built ends the program after its error box.
    lumora::ProgramWindows windows;
    try {
        windows = lumora::CreateWindows();
    } catch (...) {
        lumora::ShowErrorBox(std::current_exception());
        return 1;
    }

    lumora::TfrmMain& window = *windows.main;
    if (QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    lumora::StartScreenshot(windows);
    window.show();
    return app.exec();
}
