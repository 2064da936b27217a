// SPDX-License-Identifier: GPL-2.0-or-later
// The frame's reveal view of a loaded carrier, the panel "pnlDecodeImage": loading a
// carrier behind the password prompt, showing its message and files, and writing the
// result back into the image or into a new carrier. It is a part of TframeMsg: no language
// component of its own, and the frame's shared state (carrier, saved flag, file list
// operations, messages) is used through the frame's IPanelHost.
#pragma once

#include "workflow/FrameWidgets.h"
#include "workflow/IPanelHost.h"

#include <QFrame>
#include <optional>

class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace lumora {

class Password;
struct Status;
class TfrmCheckPass;
class UnlockedCarrier;

class RevealView : public QFrame {
public:
    // Builds the panel inside the frame, which hosts it.
    RevealView(QWidget* frame, IPanelHost& host);

    // Connects the panel's own controls; the frame connects its file list.
    void ConnectHandlers();
    // 1 when the carrier was opened and the view shown, 0 otherwise.
    int Load(const QString& path, const QString& password);
    void ShowMessagePage();
    void ShowFilesPage();
    void SetPasswordPrompt(TfrmCheckPass* prompt) { m_prompt = prompt; }
    const QString& ImagePath() const { return m_imagePath; }
    // Saves into requestedTarget, or asks where to when it is empty.
    SaveOutcome SaveToImage(const QString& requestedTarget);
    void FitListButtons(int pageWidth);

    FileListControls Files() const {
        return {lvDeFiles, btnDeAdd,         btnDeDel, btnDeRemoveAll,
                btnDeOpen, btnDeSaveFilesAs, mmoDeMsg};
    }

private:
    // SaveToImage without the handler of exceptions.
    SaveOutcome SaveToImageUnguarded(const QString& requestedTarget);
    void Build();
    void SetTabOrder();
    // A preset password, when given (even an empty one), is tried before the prompt.
    // cancellable offers Cancel on the progress dialog of a long load.
    bool LoadGuarded(const QString& path, const std::optional<QString>& preset, bool cancellable);
    bool LoadCarrier(const QString& path, const std::optional<QString>& preset, bool cancellable);
    // Unlocks the session with the preset or typed passwords; false when it was not
    // unlocked (the reason has been shown). A file without classic data is tried as
    // sealed, with the prompt's texts for sealed data.
    bool AskPassword(const std::optional<QString>& preset, bool cancellable);
    // Unlocks behind a progress dialog; sealed data off the interface thread.
    Status Unlock(const QString& password, bool cancellable);
    Status UnlockInBackground(Password password);
    // The password prompt, made on first use when none was handed over.
    TfrmCheckPass* Prompt();
    // Has the password the carrier was opened with typed again before a save under it, as
    // one that could not be proved whole must be. Saved when it matches; Cancelled; Failed
    // (shown) when it differs.
    SaveOutcome ConfirmPassword(const UnlockedCarrier& carrier);
    void FillRevealView();
    void ShowRevealView();
    // Focus on the main control of the current page.
    void FocusRevealPage();
    void btnDeSaveClick();
    void btnDeSaveAsClick();
    void mmoDeMsgChange();

    IPanelHost& m_host;
    TfrmCheckPass* m_prompt = nullptr;
    TfrmCheckPass* m_ownPrompt = nullptr; // made on demand when no prompt was handed over
    QString m_imagePath;
    bool m_memoEdited = false; // the message differs from the stored one
    // Whether this session has said that each save of a woven carrier adds changes.
    bool m_wovenNoteShown = false;

    QTabWidget* pgcDecodeImage = nullptr;
    QWidget* tsOutputMsg = nullptr;
    QWidget* tsOutputFiles = nullptr;
    QLabel* lbl5 = nullptr;
    QLabel* lbl6 = nullptr;
    QPlainTextEdit* mmoDeMsg = nullptr;
    QTreeWidget* lvDeFiles = nullptr;
    QPushButton* btnDeAdd = nullptr;
    QPushButton* btnDeDel = nullptr;
    QPushButton* btnDeRemoveAll = nullptr;
    QPushButton* btnDeOpen = nullptr;
    QPushButton* btnDeSaveFilesAs = nullptr;
    QFrame* shp2 = nullptr;
    QPushButton* btnDeSave = nullptr;
    QPushButton* btnDeSaveAs = nullptr;
    QPushButton* btnDeCancel = nullptr;
    QGridLayout* m_listButtons = nullptr;
};

} // namespace lumora
