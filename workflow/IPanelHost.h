// SPDX-License-Identifier: GPL-2.0-or-later
// What the workflow frame's panels, the hide wizard and the reveal view, may ask of the
// frame that hosts them: what they share (the carrier, the saved state, the messages,
// the save from a file list), as IMainWindowHost is what the frame may ask of the window.
#pragma once

#include "workflow/FrameCarrier.h"
#include "workflow/IMainWindowHost.h"

#include <QString>
#include <functional>

class QFrame;
class QTreeWidget;

namespace lumora {

struct SaveRequest;
struct Status;

// Cancelled: the save dialog was cancelled; Stopped: the user cancelled the running save.
enum class SaveOutcome { Saved, Cancelled, Failed, Stopped };

class IPanelHost {
public:
    virtual ~IPanelHost() = default;

    // The main window around the frame.
    virtual IMainWindowHost& Window() = 0;
    // The carrier the frame works on.
    virtual FrameCarrier& Carrier() = 0;
    // Whether the work in the frame is saved; closing asks before unsaved work is lost.
    virtual void SetSaved(bool saved) = 0;

    // The frame's messages by key, one with its "%s" filled in, and the lookup itself.
    virtual QString Message(const char* key) const = 0;
    virtual QString MessageWith(const char* key, const QString& value) const = 0;
    virtual std::function<QString(const char*)> MessageSource() const = 0;
    // The translated unit word for small sizes.
    virtual QString ByteWord() const = 0;
    // Message boxes: an error by key, and why opening a file or a save failed.
    virtual void ShowError(const char* key) = 0;
    virtual void ShowOpenFailure(const Status& status) = 0;
    virtual void ShowSaveFailure(const Status& status) = 0;

    // Asks where to save a carrier made from imagePath; empty when the user cancelled.
    virtual QString AskSavePath(const QString& imagePath) = 0;
    // Saves what list holds with the frame's carrier (OpenedCarrier::Hide or
    // UnlockedCarrier::Save), behind a progress dialog, asking where consent is needed.
    virtual SaveOutcome SaveFromList(SaveRequest& request, const QTreeWidget* list) = 0;
    // Runs save; whatever it throws is shown as a failed save with its reason (Failed).
    virtual SaveOutcome GuardedSave(const std::function<SaveOutcome()>& save) = 0;

    // Shows the frame with this panel, the other hidden.
    virtual void ShowPanel(QFrame* panel) = 0;
    // The file lists or their selection changed: the buttons follow.
    virtual void FileListsChanged() = 0;
    // Asks the question before unsaved work is thrown away; true when there is none or the
    // user agreed.
    virtual bool ConfirmDiscard(const char* questionKey) = 0;
    // Cancel (Finish) of either panel: offers to save what is not saved, then closes.
    virtual void CancelClicked() = 0;
    // Closes the frame and shows the main window's start panel again.
    virtual void CloseFrame() = 0;
};

} // namespace lumora
