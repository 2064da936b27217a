// SPDX-License-Identifier: GPL-2.0-or-later
// The workflow frame inside the main window. It hosts two panels at the same place, the
// hide wizard (HideWizard) and the reveal view of a loaded carrier (RevealView), each with
// a list of files to hide. What they share lives here: the carrier session of the current
// load or hide, whether the work is saved, the save dialog's extension, the file lists'
// operations and popup menu, the cancel handler, and the messages. The frame's language
// component covers both panels.
#pragma once

#include "workflow/IMainWindowHost.h"

#include <QFrame>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumora {

class CBindImage;
class CarrierSession;
class HideWizard;
class ProgressWatch;
class RevealView;
struct SaveRequest;
struct SealedSaveKeys;
struct Status;
class TMLang;
class TfrmCheckPass;

class TframeMsg : public QFrame {
    Q_OBJECT
public:
    TframeMsg(IMainWindowHost* host, QWidget* parent);
    ~TframeMsg() override;

    // --- called by the main window
    void ShowHideWizard();
    // Opens the wizard with this image chosen, as the picture dialog would choose it.
    void ShowHideWizard(const QString& image);
    // 1 when the carrier was opened and the reveal view shown, 0 otherwise.
    int LoadFromImage(const QString& path, const QString& password);
    void ShowMessagePage();
    void ShowFilesPage();
    // The prompt used by every load; not owned.
    void SetPasswordPrompt(TfrmCheckPass* prompt);
    // The translated unit word for small sizes, for FormatFileSize.
    QString ByteWord() const;
    // True when closing the frame now would lose work: in the wizard a message, files or a
    // password not yet saved into an image, in the reveal view edits not yet saved.
    bool HasUnsavedWork() const;
    // Asks before the program quits over unsaved work; true when it may quit.
    bool MayClose();
    // Releases the session, and with it the working folder that holds decrypted copies.
    // Runs by itself when the application quits and when the frame is destroyed.
    void ReleaseEngine();
    // Closes the frame without a question, as Cancel does once the user agreed: back to the
    // start panel, the engine released. Whatever was not saved is lost.
    void CloseFrame();

    // --- state, for the main window and tests
    TMLang* Lang() const { return MLang; }
    bool IsSaved() const { return m_saved; }
    const QString& ImagePath() const;
    // The engine beneath the open session; null without one.
    const CBindImage* Engine() const;
    const QStringList& RecentImages() const;

private:
    // The panels are the frame's own parts and use its shared state.
    friend class HideWizard;
    friend class RevealView;

    // Cancelled: the save dialog was cancelled; Stopped: the user cancelled the running save.
    enum class SaveOutcome { Saved, Cancelled, Failed, Stopped };

    // construction
    void BuildFileMenu();
    void ApplyLanguage();
    // Arranges the file lists' buttons so that their captions, in any language, fit.
    void FitButtonRows();
    // Shows the frame with one panel, the other hidden.
    void ShowPanel(QFrame* panel);

    // file lists: every operation acts on the list of the visible panel
    // Buttons, double clicks, the popup menu, drops and keys of both lists.
    void ConnectFileLists();
    QTreeWidget* VisibleList() const;
    void btnAddClick();
    // Adds files as Add Files does: the 100-row limit, duplicates, the size limit, icons.
    void AddFiles(QTreeWidget* list, const QStringList& paths);
    void AddFileRow(QTreeWidget* list, const QString& path);
    void btnDelClick();
    void btnRemoveAllClick();
    void mniLoadTheFileClick();
    void mniSaveFilesAsClick();
    void pmFilePopup(QTreeWidget* list, const QPoint& pos);
    void lvFilesChange();
    void SaveOneRowAs(const QTreeWidgetItem* row);
    void SaveRowsToFolder(const QList<const QTreeWidgetItem*>& rows);
    // The folder several hidden files are saved into; empty when the user cancelled.
    QString AskTargetFolder();
    // Extracts a hidden file into the working folder behind a progress dialog whose Cancel
    // stops it (Cancelled), and gives the copy's path.
    Status ExtractToWorkFolder(int slot, std::string& copy);
    // Extracts hidden files (by slot) to targets behind one progress dialog, side by side;
    // a failure stops the rest, with the files before it in place.
    Status ExtractHidden(const std::vector<int>& hiddenSlots,
                         const std::vector<std::string>& targets);
    // Copies files on disk and extracts hidden ones, rows[i] to targets[i], replacing what
    // is there; tells the user when a file could not be saved.
    void SaveRowsTo(const QList<const QTreeWidgetItem*>& rows, const QStringList& targets);
    // Cancelled when the user cancelled behind watch, whatever the operation returned.
    static Status Watched(Status status, const ProgressWatch& watch);

    // shared by the panels
    // A session on path, opened; the failure (nothing shown) when the file cannot be read.
    Status NewSession(const QString& path);
    // Saves what the list holds with the session, behind a progress dialog whose Cancel
    // stops the save; asks before content would be lost or a changed carrier replaced.
    SaveOutcome SaveFromList(SaveRequest& request, const QTreeWidget* list);
    // For a sealed save: derives its keys off the interface thread into keys and points
    // the request at them. Saved (nothing to derive), Stopped or Failed (shown).
    SaveOutcome DeriveSaveKeys(SaveRequest& request, std::shared_ptr<SealedSaveKeys>& keys);
    // The message box that tells why a save, or opening a file, failed (workflow/
    // ReasonTexts.h).
    void ShowSaveFailure(const Status& status);
    void ShowOpenFailure(const Status& status);
    std::function<QString(const char*)> MessageSource() const;
    QString AskSavePath(const QString& imagePath);
    QString Message(const char* key) const;
    // A message with its "%s" filled in, as FormatMessage fills it.
    QString Message(const char* key, const QString& value) const;
    void ShowError(const char* key, const QString& value = QString());
    static void FocusIfVisible(QWidget* widget);
    // Cancel (Finish) of the wizard and Cancel of the reveal view: offers to save what is
    // not saved, then closes the frame.
    void btnCencel1Click();
    // Asks the question before unsaved work is thrown away; true when there is none or the
    // user answered Yes.
    bool ConfirmDiscard(const char* questionKey);

    IMainWindowHost* m_host;
    HideWizard* m_wizard = nullptr;
    RevealView* m_reveal = nullptr;
    bool m_saved = false;
    std::unique_ptr<CarrierSession> m_session;
    QString m_saveSuffix; // the save dialog keeps its default suffix between uses

    // popup menu of both lists
    QMenu* pmFile = nullptr;
    QAction* mniAdd = nullptr;
    QAction* mniDel = nullptr;
    QAction* mniRemoveAll = nullptr;
    QAction* mniN1 = nullptr;
    QAction* mniLoadTheFile = nullptr;
    QAction* mniSaveFilesAs = nullptr;

    TMLang* MLang = nullptr;
};

} // namespace lumora
