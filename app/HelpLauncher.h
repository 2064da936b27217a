// SPDX-License-Identifier: GPL-2.0-or-later
// "Help ...": shows the program's help through the desktop's open verb. The file is
// looked for beside the program: "Lumora.chm", else the manual "help/index.html", else
// the installed manual "../share/lumora/help/index.html". Once one was found it is used
// for every later call; while none exists each call looks again. Nothing is shown when
// there is no help.
#pragma once

#include <QString>

namespace lumora {

class HelpLauncher {
public:
    // programFolder: the folder of the executable, without a trailing "/"; an empty
    // folder means the executable's path is unknown and no help can be found.
    explicit HelpLauncher(QString programFolder);

    // The help file to hand to the open verb, resolved on the first successful call.
    QString Target();
    // Opens the help file through Dialogs().OpenWithDesktop; false when there is none.
    [[nodiscard]] bool Open();

private:
    QString m_programFolder;
    QString m_target;
};

} // namespace lumora
