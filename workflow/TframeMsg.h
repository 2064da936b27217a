// SPDX-License-Identifier: GPL-2.0-or-later
// The workflow frame inside the main window. It holds two panels at the same place: the
// five-page hide wizard and the reveal view of a loaded carrier, both with a list of files
// to hide. It drives one carrier session per load or hide and turns its outcomes into
// message boxes.
#pragma once

#include "workflow/IMainWindowHost.h"

#include <QFrame>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumora {

class CBindImage;
class CarrierSession;
class Password;
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

    // --- state, for the main window and tests
    TMLang* Lang() const { return MLang; }
    bool IsSaved() const { return m_saved; }
    const QString& ImagePath() const { return m_imagePath; }
    // The engine beneath the open session; null without one.
    const CBindImage* Engine() const;
    const QStringList& RecentImages() const { return m_recentImages; }

private:
    // Cancelled: the save dialog was cancelled; Stopped: the user cancelled the running save.
    enum class SaveOutcome { Saved, Cancelled, Failed, Stopped };

    // construction
    void BuildWizardPanel();
    void BuildRevealPanel();
    void BuildFileMenu();
    QTreeWidget* NewFileList(const char* name);
    void ConnectHandlers();
    void ConnectFileListHandlers();
    // Drops of files and images, the lists' keys, Enter on the wizard's fields.
    void ConnectDropsAndKeys();
    void SetTabOrders();
    void ApplyLanguage();
    // Arranges the file lists' buttons so that their captions, in any language, fit.
    void FitButtonRows();

    // wizard
    void LoadRecentImages();
    void SaveRecentImages();
    void SetWizardPage(int index);
    void btnNext1Click();
    void btnBack1Click();
    void btnCencel1Click();
    void btnSelImgClick();
    // The image chosen in the picture dialog or dropped on the first page; empty: none.
    void ChooseImage(const QString& path);
    void cbbFilesChange();
    void edtPass1Change();
    // Shows the carrier format chosen last time; a click on one remembers it.
    void LoadCarrierFormat();
    void rbFormatClick();
    void pgcEncodeImageTabActive(int index);
    void btnSaveClick();
    SaveOutcome SaveWizardCarrier();
    void CloseFrame();
    // Asks the question before unsaved work is thrown away; true when there is none or the
    // user answered Yes.
    bool ConfirmDiscard(const char* questionKey);

    // file lists
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
    enum class CopyOutcome { Done, Failed, Cancelled };
    CopyOutcome CopyOrExtract(const QTreeWidgetItem* row, const QString& target);
    // Extracts a hidden file behind a progress dialog whose Cancel stops it; an empty
    // destination extracts into the working folder and gives the copy's path back.
    CopyOutcome ExtractHidden(int slot, std::string& destination);

    // reveal view
    // A preset password, when given (even an empty one), is tried before the prompt.
    // cancellable offers Cancel on the progress dialog of a long load.
    int LoadGuarded(const QString& path, const std::optional<QString>& preset, bool cancellable);
    int LoadCarrier(const QString& path, const std::optional<QString>& preset, bool cancellable);
    // Unlocks the session with the preset or typed passwords; false when it was not
    // unlocked (the reason has been shown). A file without classic data is tried as
    // sealed, with the prompt's texts for sealed data.
    bool AskPassword(const std::optional<QString>& preset, bool cancellable);
    // Unlocks behind a progress dialog; sealed data off the interface thread.
    Status Unlock(const QString& password, bool cancellable);
    Status UnlockInBackground(Password password);
    void FillRevealView();
    void ShowRevealView();
    // Focus on the main control of the reveal view's current page.
    void FocusRevealPage();
    SaveOutcome SaveToImage(const QString& target);
    void btnDeSaveClick();
    void btnDeSaveAsClick();
    void mmoDeMsgChange();

    // shared
    // A session on path, opened; false (nothing shown) when the file cannot be read.
    bool NewSession(const QString& path);
    // Saves what the list holds with the session, behind a progress dialog whose Cancel
    // stops the save; asks before content would be lost or a changed carrier replaced.
    SaveOutcome SaveFromList(SaveRequest& request, const QTreeWidget* list);
    // For a sealed save: derives its keys off the interface thread into keys and points
    // the request at them. Saved (nothing to derive), Stopped or Failed (shown).
    SaveOutcome DeriveSaveKeys(SaveRequest& request, std::shared_ptr<SealedSaveKeys>& keys);
    // The message box that tells why a save failed.
    void ShowSaveFailure(const Status& status);
    std::function<QString(const char*)> MessageSource() const;
    QString AskSavePath(const QString& imagePath);
    QString Message(const char* key) const;
    // A message with its "%s" filled in.
    QString Message(const char* key, const QString& value) const;
    void ShowError(const char* key, const QString& value = QString());
    void FocusIfVisible(QWidget* widget);

    IMainWindowHost* m_host;
    TfrmCheckPass* m_prompt = nullptr;
    QStringList m_recentImages;
    bool m_saved = false;
    QString m_imagePath;
    std::unique_ptr<CarrierSession> m_session;
    bool m_memoEdited = false;            // the reveal view's message differs from the stored one
    QString m_saveSuffix;                 // the save dialog keeps its default suffix between uses
    TfrmCheckPass* m_ownPrompt = nullptr; // made on demand when no prompt was handed over

    // wizard panel
    QFrame* pnlEnCodeImage = nullptr;
    QStackedWidget* pgcEncodeImage = nullptr;
    QWidget* tsSelectImg = nullptr;
    QWidget* tsInputMsg = nullptr;
    QWidget* tsInputFiles = nullptr;
    QWidget* tsSetPass = nullptr;
    QWidget* tsSaveImg = nullptr;
    QLabel* lbl1 = nullptr;
    QLabel* lbl2 = nullptr;
    QLabel* lbl3 = nullptr;
    QLabel* lbl4 = nullptr;
    QLabel* lbl7 = nullptr;
    QLabel* lbl8 = nullptr;
    QComboBox* cbbFiles = nullptr;
    QPushButton* btnSelImg = nullptr;
    QPlainTextEdit* mmoMsg = nullptr;
    QTreeWidget* lvFiles = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDel = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    QPushButton* btnOpen = nullptr;
    QLineEdit* edtPass1 = nullptr;
    QLineEdit* edtPass2 = nullptr;
    QLabel* lblPasswordError = nullptr;
    QLabel* imgRight = nullptr;
    QLabel* imgError = nullptr;
    QGroupBox* grpFormat = nullptr;
    QRadioButton* rbClassic = nullptr;
    QRadioButton* rbSealed = nullptr;
    QLabel* lblClassic = nullptr;
    QLabel* lblSealed = nullptr;
    QPushButton* btnSave = nullptr;
    QFrame* shp1 = nullptr;
    QPushButton* btnBack1 = nullptr;
    QPushButton* btnNext1 = nullptr;
    QPushButton* btnCencel1 = nullptr;

    // reveal panel
    QFrame* pnlDecodeImage = nullptr;
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

    // popup menu of both lists
    QMenu* pmFile = nullptr;
    QAction* mniAdd = nullptr;
    QAction* mniDel = nullptr;
    QAction* mniRemoveAll = nullptr;
    QAction* mniN1 = nullptr;
    QAction* mniLoadTheFile = nullptr;
    QAction* mniSaveFilesAs = nullptr;

    QGridLayout* m_wizardListButtons = nullptr;
    QGridLayout* m_revealListButtons = nullptr;

    TMLang* MLang = nullptr;
};

} // namespace lumora
