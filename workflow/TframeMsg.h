// SPDX-License-Identifier: GPL-2.0-or-later
// The workflow frame inside the main window. It hosts two panels at the same place, the
// hide wizard (HideWizard) and the reveal view of a loaded carrier (RevealView), each with
// a list of files to hide. What they share lives here and reaches them through
// IPanelHost: the carrier of the current load or hide, whether the work is saved, the save
// dialog's extension, the file lists' operations and popup menu, the cancel handler, and
// the messages. The frame's language component covers both panels.
#pragma once

#include "workflow/IMainWindowHost.h"
#include "workflow/IPanelHost.h"

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

class HideWizard;
class ProgressWatch;
class RevealView;
struct SealedSaveKeys;
class TMLang;
class TfrmCheckPass;

class TframeMsg : public QFrame, private IPanelHost {
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
    QString ByteWord() const override;
    // True when closing the frame now would lose work: in the wizard a message, files or a
    // password not yet saved into an image, in the reveal view edits not yet saved.
    bool HasUnsavedWork() const;
    // Asks before the program quits over unsaved work; true when it may quit.
    bool MayClose();
    // Releases the carrier, and with it the working folder that holds decrypted copies.
    // Runs by itself when the application quits and when the frame is destroyed.
    void ReleaseEngine();
    // Closes the frame without a question, as Cancel does once the user agreed: back to the
    // start panel, the engine released. Whatever was not saved is lost.
    void CloseFrame() override;

    // --- state, for the main window and tests
    TMLang* Lang() const { return MLang; }
    bool IsSaved() const { return m_saved; }
    const QString& ImagePath() const;
    // Whether a carrier is held, and its working folder (empty when none is).
    bool HoldsCarrier() const { return m_carrier.Current() != nullptr; }
    std::string WorkFolder() const;
    const QStringList& RecentImages() const;

private:
    // construction
    void BuildFileMenu();
    void ApplyLanguage();
    // Arranges the file lists' buttons so that their captions, in any language, fit.
    void FitButtonRows();

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
    Status ExtractToWorkFolder(int entry, std::string& copy);
    // Runs an extraction of the unlocked carrier behind one progress dialog.
    Status Extract(const std::function<Status(UnlockedCarrier&)>& extraction);
    // Copies a file on disk or extracts a hidden one to target, replacing what is there;
    // tells the user when it could not be saved.
    void SaveRowTo(const QTreeWidgetItem* row, const QString& target);
    // Cancelled when the user cancelled behind watch, whatever the operation returned.
    static Status Watched(Status status, const ProgressWatch& watch);

    // --- IPanelHost: what the panels share
    IMainWindowHost& Window() override { return *m_host; }
    FrameCarrier& Carrier() override { return m_carrier; }
    void SetSaved(bool saved) override { m_saved = saved; }
    QString Message(const char* key) const override;
    QString MessageWith(const char* key, const QString& value) const override;
    std::function<QString(const char*)> MessageSource() const override;
    void ShowError(const char* key) override;
    // The message box that tells why a save, or opening a file, failed (workflow/
    // ReasonTexts.h).
    void ShowOpenFailure(const Status& status) override;
    void ShowSaveFailure(const Status& status) override;
    QString AskSavePath(const QString& imagePath) override;
    SaveOutcome SaveFromList(SaveRequest& request, const QTreeWidget* list) override;
    SaveOutcome GuardedSave(const std::function<SaveOutcome()>& save) override;
    void ShowPanel(QFrame* panel) override;
    void FileListsChanged() override { lvFilesChange(); }
    bool ConfirmDiscard(const char* questionKey) override;
    void CancelClicked() override { btnCencel1Click(); }

    // One attempt at a save behind its progress dialog, which is closed when this returns;
    // Cancelled when the user cancelled it.
    Status SaveBehindProgress(const SaveRequest& request);
    // Asks for the consent a save that failed with status needs; Saved once given (request
    // carries it), Cancelled when the user said no, Failed (shown) when no consent helps.
    SaveOutcome AskConsent(SaveRequest& request, const Status& status);
    // Asks whether damaged content the save would carry is kept as stored or left out;
    // Refuse when the user cancelled.
    DamagedContent AskAboutDamage(const SaveRequest& request, const Status& status);
    // For a sealed or woven save: derives its keys off the interface thread into keys, unless
    // keys already hold what the save needs, and points the request at them. Saved (also
    // when there was nothing to derive), Stopped or Failed (shown).
    SaveOutcome DeriveSaveKeys(SaveRequest& request, std::shared_ptr<SealedSaveKeys>& keys);
    void ShowErrorWith(const char* key, const QString& value);
    // Cancel (Finish) of the wizard and Cancel of the reveal view: offers to save what is
    // not saved, then closes the frame.
    void btnCencel1Click();

    IMainWindowHost* m_host;
    HideWizard* m_wizard = nullptr;
    RevealView* m_reveal = nullptr;
    bool m_saved = false;
    FrameCarrier m_carrier;
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
