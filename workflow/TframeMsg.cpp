// SPDX-License-Identifier: GPL-2.0-or-later
// The frame itself: construction, language, the engine it holds, closing, and what the
// wizard and the reveal view share.
#include "workflow/TframeMsg.h"

#include "language/TMLang.h"
#include "qtadapters/Dialogs.h"
#include "qtadapters/MessageFormat.h"
#include "workflow/BackgroundWork.h"
#include "workflow/DamageMarks.h"
#include "workflow/FileListRows.h"
#include "workflow/HideWizard.h"
#include "workflow/MemoText.h"
#include "workflow/PasswordPageTexts.h"
#include "workflow/PathParts.h"
#include "workflow/ProgressWatch.h"
#include "workflow/ReasonTexts.h"
#include "workflow/RevealView.h"
#include "workflow/ThrownStatus.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QMenu>
#include <QTreeWidget>

namespace lumora {
namespace {

// The frame's messages with their built-in texts, then those of the reasons and of the
// wizard's password page; the language file may replace them.
const QStringList& FrameMessages() {
    static const QStringList own{
        QStringLiteral("strError=ERROR"),
        QStringLiteral("strDataError=Data Error"),
        QStringLiteral("strByte=Byte"),
        QStringLiteral("strFinish=&Finish"),
        QStringLiteral("strCancel=&Cancel"),
        QStringLiteral("strRemoveAll=Are you sure want to delete all files?"),
        QStringLiteral("strFileInList=The file has been exist in the list."),
        QStringLiteral("strrAppName=Lumora"),
        QStringLiteral("strNotSave=The text messages and the files haven't been saved into "
                       "the image,  Do you want to save now?"),
        QStringLiteral("strSaveError=There are some errors when saved, please try again."),
        QStringLiteral("strSelFolder=Please select the target folder"),
        QStringLiteral("strFileExists=%s has exists, are you want to overwrite it?"),
        QStringLiteral("strSaveOK=The image have been saved successfully."),
        QStringLiteral("strSaving=Saving the image..."),
        QStringLiteral("strOpening=Opening the image..."),
        QStringLiteral("strExtracting=Getting the hidden file..."),
        QStringLiteral("strStepCopying=Copying the picture"),
        QStringLiteral("strStepPacking=Packing the message and the files"),
        QStringLiteral("strStepEncrypting=Encrypting"),
        QStringLiteral("strStepDecrypting=Decrypting"),
        QStringLiteral("strStepUnpacking=Unpacking the files"),
        QStringLiteral("strStepChecking=Checking what was written"),
        QStringLiteral("strStepDerivingKey=Deriving the key from the password"),
        QStringLiteral("strDiscard=The text messages and the files have not been saved into "
                       "an image. Do you want to discard them?"),
        QStringLiteral("strQuitUnsaved=The text messages and the files have not been saved "
                       "into an image. Do you want to quit Lumora anyway?"),
        QStringLiteral("strSavedAs=The image has been saved as %s."),
    };
    static const QStringList lines =
        own + ReasonMessages() + PasswordPageMessages() + DamageMessages();
    return lines;
}

QString BuiltInMessage(const QString& key) {
    for (const QString& line : FrameMessages()) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.left(equals) == key)
            return line.mid(equals + 1);
    }
    return key;
}

} // namespace

TframeMsg::TframeMsg(IMainWindowHost* host, QWidget* parent) : QFrame(parent), m_host(host) {
    setObjectName(QStringLiteral("frameMsg"));
    resize(408, 450);
    m_wizard = new HideWizard(this, *this);
    m_reveal = new RevealView(this, *this);
    BuildFileMenu();
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_wizard, 0, 0);
    layout->addWidget(m_reveal, 0, 0);
    m_reveal->hide();
    m_wizard->ConnectHandlers();
    m_reveal->ConnectHandlers();
    ConnectFileLists();
    lvFilesChange();
    hide();
    // Decrypted copies must not outlive the program, whatever becomes of the windows.
    if (QCoreApplication::instance() != nullptr)
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &TframeMsg::ReleaseEngine);
    ApplyLanguage();
}

TframeMsg::~TframeMsg() {
    ReleaseEngine();
}

void TframeMsg::ApplyLanguage() {
    MLang = CreateWindowLang(this, QStringLiteral("TframeMsg"));
    MLang->SetIgnoreControls({QStringLiteral("mniN1")});
    MLang->SetIgnoreFormCaption(true);
    MLang->SetIncludeListViewItems(true);
    MLang->SetIncludeListViewHead(true);
    MLang->SetIncludeTreeViewItems(true);
    MLang->SetStrList(FrameMessages());
    MLang->SetActiveNow(true);
    FitButtonRows();
}

void TframeMsg::BuildFileMenu() {
    pmFile = Named(new QMenu(this), "pmFile");
    mniAdd = Named(pmFile->addAction(QStringLiteral("Add Files")), "mniAdd");
    mniDel = Named(pmFile->addAction(QStringLiteral("Delete")), "mniDel");
    mniRemoveAll = Named(pmFile->addAction(QStringLiteral("Remove All")), "mniRemoveAll");
    mniN1 = Named(pmFile->addSeparator(), "mniN1");
    mniLoadTheFile = Named(pmFile->addAction(QStringLiteral("Open")), "mniLoadTheFile");
    mniSaveFilesAs = Named(pmFile->addAction(QStringLiteral("Save Files As")), "mniSaveFilesAs");
    pmFile->setDefaultAction(mniLoadTheFile);
}

void TframeMsg::FitButtonRows() {
    const int pageWidth = width() - 2 * kPageMargin;
    m_wizard->FitListButtons(pageWidth);
    m_reveal->FitListButtons(pageWidth);
}

void TframeMsg::ShowPanel(QFrame* panel) {
    show();
    if (panel == m_wizard) {
        m_wizard->show();
        m_reveal->hide();
    } else {
        m_wizard->hide();
        m_reveal->show();
    }
}

void TframeMsg::ShowHideWizard() {
    ShowPanel(m_wizard);
    m_saved = false;
    m_wizard->Start();
    lvFilesChange();
}

void TframeMsg::ShowHideWizard(const QString& image) {
    ShowHideWizard();
    m_wizard->ChooseImage(image);
}

int TframeMsg::LoadFromImage(const QString& path, const QString& password) {
    return m_reveal->Load(path, password);
}

void TframeMsg::ShowMessagePage() {
    m_reveal->ShowMessagePage();
}

void TframeMsg::ShowFilesPage() {
    m_reveal->ShowFilesPage();
}

const QString& TframeMsg::ImagePath() const {
    return m_reveal->ImagePath();
}

const QStringList& TframeMsg::RecentImages() const {
    return m_wizard->RecentImages();
}

void TframeMsg::SetPasswordPrompt(TfrmCheckPass* prompt) {
    m_reveal->SetPasswordPrompt(prompt);
}

QString TframeMsg::ByteWord() const {
    return Message("strByte");
}

void TframeMsg::ReleaseEngine() {
    m_carrier.Release();
}

std::string TframeMsg::WorkFolder() const {
    const CarrierSession* current = m_carrier.Current();
    return current != nullptr ? current->WorkFolder() : std::string();
}

QString TframeMsg::Message(const char* key) const {
    const QString name = QString::fromLatin1(key);
    try {
        return MLang != nullptr ? MLang->GetResString(name) : BuiltInMessage(name);
    } catch (...) {
        // The language file could not take a missing key; the built-in text still serves.
        return TMLang::TreatString(BuiltInMessage(name));
    }
}

QString TframeMsg::MessageWith(const char* key, const QString& value) const {
    return FormatMessage(Message(key), value);
}

void TframeMsg::ShowError(const char* key) {
    Dialogs().Error(window(), Message("strError"), Message(key));
}

void TframeMsg::ShowErrorWith(const char* key, const QString& value) {
    Dialogs().Error(window(), Message("strError"), MessageWith(key, value));
}

QString TframeMsg::AskSavePath(const QString& imagePath) {
    const PathParts parts = SplitPath(imagePath);
    SaveFileRequest request;
    request.proposedName = NewCarrierName(imagePath);
    request.startFolder = parts.folder;
    request.defaultSuffix = parts.extension.mid(1);
    request.filter = QStringLiteral("*.* (*)");
    m_saveSuffix = request.defaultSuffix;
    return Dialogs().SaveFile(window(), request);
}

SaveOutcome TframeMsg::SaveFromList(SaveRequest& request, const QTreeWidget* list) {
    std::vector<int> listed;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        const int entry = RowEntry(row);
        if (entry >= 0)
            listed.push_back(entry);
        else if (!RowName(row).isEmpty())
            request.addedFiles.emplace_back(RowName(row).toStdString());
    }
    if (m_carrier.unlocked != nullptr)
        request.keptEntries = m_carrier.unlocked->KeptEntriesWhenListing(listed);
    // Before the keys are derived, which takes a while.
    // A refusal that only needs the user's word (a cover that holds data) is asked there.
    for (Status refused = m_carrier.CheckRequest(request); !refused.Ok();
         refused = m_carrier.CheckRequest(request)) {
        if (const SaveOutcome asked = AskConsent(request, refused); asked != SaveOutcome::Saved)
            return asked;
    }
    std::shared_ptr<SealedSaveKeys> keys;
    for (;;) {
        // An attempt of a woven save that began to write took its keys: one salt seals one
        // content, so the attempt after a question derives new ones.
        if (const SaveOutcome derived = DeriveSaveKeys(request, keys);
            derived != SaveOutcome::Saved)
            return derived;
        // Each attempt has its own progress dialog, gone before any message or question.
        const Status status = SaveBehindProgress(request);
        if (status.Ok())
            return SaveOutcome::Saved;
        if (status.Outcome() == Outcome::Cancelled)
            return SaveOutcome::Stopped;
        if (status.reason == Reason::DamagedContent && request.damaged == DamagedContent::Refuse) {
            request.damaged = AskAboutDamage(request, status);
            if (request.damaged == DamagedContent::Refuse)
                return SaveOutcome::Cancelled;
            continue;
        }
        if (const SaveOutcome asked = AskConsent(request, status); asked != SaveOutcome::Saved)
            return asked;
    }
}

SaveOutcome TframeMsg::AskConsent(SaveRequest& request, const Status& status) {
    // Content that would be lost, a carrier changed meanwhile, a cover that holds data, or
    // woven content that is easier to detect needs the user's word.
    SaveRequest consented = request;
    if (!GiveConsent(consented, status.reason)) {
        ShowSaveFailure(status);
        return SaveOutcome::Failed;
    }
    if (Dialogs().QuestionYesNo(window(), Message("strrAppName"),
                                ReasonLine(status, MessageSource())) != Answer::Yes)
        return SaveOutcome::Cancelled;
    request = std::move(consented);
    return SaveOutcome::Saved;
}

DamagedContent TframeMsg::AskAboutDamage(const SaveRequest& request, const Status& status) {
    QStringList names;
    if (m_carrier.unlocked != nullptr)
        names = DamagedKeptNames(*m_carrier.unlocked, request, status, MessageSource());
    const int choice = Dialogs().QuestionChoice(
        window(), Message("strrAppName"),
        MessageWith("strDamagedKeepOrDrop", names.join(QStringLiteral(", "))),
        {Message("strKeepDamaged"), Message("strDropDamaged")}, Message("strCancel"));
    if (choice == 0)
        return DamagedContent::Keep;
    return choice == 1 ? DamagedContent::Drop : DamagedContent::Refuse;
}

SaveOutcome TframeMsg::GuardedSave(const std::function<SaveOutcome()>& save) {
    try {
        return save();
    } catch (...) {
        // The progress dialog went with the stack it lived on.
        ShowSaveFailure(StatusOfThrown(std::current_exception(), Reason::WriteFailed));
        return SaveOutcome::Failed;
    }
}

Status TframeMsg::SaveBehindProgress(const SaveRequest& request) {
    ProgressWatch watch(window(), Message("strSaving"), MessageSource(), true);
    ObserverScope observing(m_carrier, &watch);
    return Watched(m_carrier.Save(request), watch);
}

SaveOutcome TframeMsg::DeriveSaveKeys(SaveRequest& request, std::shared_ptr<SealedSaveKeys>& keys) {
    const Password* password = m_carrier.SavePassword(request);
    const bool woven = request.format == CarrierFormat::Woven;
    if ((request.format != CarrierFormat::Sealed && !woven) || password == nullptr)
        return SaveOutcome::Saved;
    // Sealed keys serve every attempt, since each write draws its own nonce.
    if (keys != nullptr && !(woven ? keys->woven.Empty() : keys->carrier.Empty()))
        return SaveOutcome::Saved;
    // The derivation may outlive this call when the user cancels: it owns what it uses.
    keys = std::make_shared<SealedSaveKeys>();
    auto typed = std::make_shared<Password>(password->Copy());
    const Status derived = RunInBackground(
        window(), Message("strSaving"), MessageSource(),
        [keys, typed, woven,
         picture = m_carrier.opened != nullptr ? m_carrier.opened->PictureForSealedSave()
                                               : std::string()](CProgressObserver& observer) {
            const CancelCheck cancelled = [&observer] {
                return !observer.OnProgress(ProgressStep::DerivingKey, 0, 0);
            };
            return woven ? DeriveWovenSaveKeys(*typed, *keys, cancelled)
                         : DeriveSealedSaveKeys(picture, *typed, *keys, cancelled);
        });
    if (derived.Outcome() == Outcome::Cancelled)
        return SaveOutcome::Stopped;
    if (!derived.Ok()) {
        ShowSaveFailure(derived);
        return SaveOutcome::Failed;
    }
    request.sealedKeys = keys.get();
    return SaveOutcome::Saved;
}

void TframeMsg::ShowSaveFailure(const Status& status) {
    Dialogs().Error(window(), Message("strError"), SaveFailureText(status, MessageSource()));
}

void TframeMsg::ShowOpenFailure(const Status& status) {
    Dialogs().Error(window(), Message("strError"), OpenFailureText(status, MessageSource()));
}

std::function<QString(const char*)> TframeMsg::MessageSource() const {
    return [this](const char* key) { return Message(key); };
}

void TframeMsg::btnCencel1Click() {
    const bool wizardAtEnd = !m_wizard->isHidden() && m_wizard->AtSavePage();
    const bool revealing = !m_reveal->isHidden();
    if (!m_saved && (wizardAtEnd || revealing)) {
        const Answer answer =
            Dialogs().QuestionYesNoCancel(window(), Message("strrAppName"), Message("strNotSave"));
        if (answer == Answer::Cancel)
            return;
        if (answer == Answer::Yes) {
            const SaveOutcome outcome =
                wizardAtEnd ? m_wizard->SaveCarrier() : m_reveal->SaveToImage(QString());
            // The error box has told the user, or the user stopped the save; closing now
            // would throw the work away.
            if (outcome == SaveOutcome::Failed || outcome == SaveOutcome::Stopped)
                return;
            if (outcome == SaveOutcome::Cancelled && !ConfirmDiscard("strDiscard"))
                return;
        }
    } else if (!ConfirmDiscard("strDiscard")) {
        return;
    }
    CloseFrame();
}

bool TframeMsg::HasUnsavedWork() const {
    if (isHidden() || m_saved)
        return false;
    if (!m_reveal->isHidden())
        return true;
    return m_wizard->HasTypedWork();
}

bool TframeMsg::ConfirmDiscard(const char* questionKey) {
    if (!HasUnsavedWork())
        return true;
    return Dialogs().QuestionYesNo(window(), Message("strrAppName"), Message(questionKey)) ==
           Answer::Yes;
}

bool TframeMsg::MayClose() {
    return ConfirmDiscard("strQuitUnsaved");
}

void TframeMsg::CloseFrame() {
    m_wizard->ShowCancelCaption();
    hide();
    m_host->ShowImage(QString());
    ReleaseEngine();
    m_host->ShowMainPanel(true);
}

} // namespace lumora
