// SPDX-License-Identifier: GPL-2.0-or-later
// What the workflow frame may ask of the main window that hosts it.
#pragma once

#include "engine/CarrierTrailer.h"

#include <QString>

class QWidget;

namespace lumora {

class IMainWindowHost {
public:
    virtual ~IMainWindowHost() = default;
    // Shows a picture's name, path and preview and zeroes the information panel; an empty
    // path clears them.
    virtual void ShowImage(const QString& path) = 0;
    // Fills the information panel from a carrier's trailer.
    virtual void ShowImageInfo(const CarrierTrailer& trailer) = 0;
    // Shows and enables, or hides and disables, the start panel.
    virtual void ShowMainPanel(bool visible) = 0;
    // The main window, as owner of dialogs.
    virtual QWidget* HostWindow() = 0;
};

} // namespace lumora
