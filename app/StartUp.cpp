// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/StartUp.h"

#include "app/PicturePart.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "qtadapters/Dialogs.h"
#include "qtadapters/PictureLoader.h"
#include "workflow/TframeMsg.h"
#include "workflow/TfrmCheckPass.h"

namespace lumora {

ProgramWindows CreateWindows() {
    InstallDialogPreviews(PicturePartSize);
    ProgramWindows windows;
    windows.main = std::make_unique<TfrmMain>();
    windows.prompt = new TfrmCheckPass(windows.main.get());
    windows.main->Frame()->SetPasswordPrompt(windows.prompt);
    windows.about = new TfrmAbout(windows.main.get());
    windows.main->SetAboutBox(windows.about);
    return windows;
}

} // namespace lumora
