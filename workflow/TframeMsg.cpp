// SPDX-License-Identifier: GPL-2.0-or-later
// The frame itself: construction, language, the engine it holds, closing, and what the
// wizard and the reveal view share.
#include "workflow/TframeMsg.h"

#include "engine/CarrierSession.h"
#include "engine/MessageForm.h"
#include "language/TMLang.h"
#include "platform/Dialogs.h"
#include "workflow/BackgroundWork.h"
#include "workflow/FileListRows.h"
#include "workflow/MemoText.h"
#include "workflow/PathParts.h"
#include "workflow/ProgressWatch.h"
#include "workflow/TfrmCheckPass.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

namespace lumora {
namespace {

// The frame's messages with their built-in texts; the language file may replace them.
const QStringList& FrameMessages() {
    static const QStringList lines{
        QStringLiteral("strNoData=No Data In Image"),
        QStringLiteral("strError=ERROR"),
        QStringLiteral("strErrorPass=Password error"),
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
        QStringLiteral("strTooManyFiles=There are too many files in the list. It allows no "
                       "more than 100 files in the list."),
        QStringLiteral("strSelFolder=Please select the target folder"),
        QStringLiteral("strFileExists=%s has exists, are you want to overwrite it?"),
        QStringLiteral("strSaveOK=The image have been saved successfully."),
        QStringLiteral("strFileTooLarge=%s is too large to be hidden."),
        QStringLiteral("strSaving=Saving the image..."),
        QStringLiteral("strOpening=Opening the image..."),
        QStringLiteral("strExtracting=Getting the hidden file..."),
        QStringLiteral("strStepCopying=Copying the picture"),
        QStringLiteral("strStepPacking=Packing the message and the files"),
        QStringLiteral("strStepEncrypting=Encrypting"),
        QStringLiteral("strStepDecrypting=Decrypting"),
        QStringLiteral("strStepUnpacking=Unpacking the files"),
        QStringLiteral("strStepChecking=Checking what was written"),
        QStringLiteral("strMessageNul=The text messages contain a NUL character, which cannot "
                       "be hidden. Please remove it and save again."),
        QStringLiteral("strPasswordNul=The password contains a NUL character, which cannot "
                       "be used. Please type another password."),
        QStringLiteral("strBadFileName=%s cannot be hidden: its name holds a backslash, which "
                       "other programs read as a folder separator. Please rename it first."),
        QStringLiteral("strSaveLoses=Some of the hidden content (%s) cannot be kept in the "
                       "new image and would be lost. Do you want to save anyway?"),
        QStringLiteral("strCarrierChanged=%s has been changed by another program since it "
                       "was opened. Do you want to replace it anyway?"),
        QStringLiteral("strCarrierBusy=%s is being changed by another Lumora process. Please "
                       "try again when it has finished."),
        QStringLiteral("strStepDerivingKey=Deriving the key from the password"),
        QStringLiteral("strDiscard=The text messages and the files have not been saved into "
                       "an image. Do you want to discard them?"),
        QStringLiteral("strQuitUnsaved=The text messages and the files have not been saved "
                       "into an image. Do you want to quit Lumora anyway?"),
        QStringLiteral("strSavedAs=The image has been saved as %s."),
        QStringLiteral("strSealedNotOpened=No hidden data was found in the image, or the "
                       "password does not open it."),
        QStringLiteral("strNoMemoryKey=There is not enough memory to derive the key from the "
                       "password. Please close other programs and try again."),
    };
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
    BuildWizardPanel();
    BuildRevealPanel();
    BuildFileMenu();
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pnlEnCodeImage, 0, 0);
    layout->addWidget(pnlDecodeImage, 0, 0);
    pnlDecodeImage->hide();
    SetTabOrders();
    ConnectHandlers();
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

void TframeMsg::ConnectHandlers() {
    connect(btnNext1, &QPushButton::clicked, this, &TframeMsg::btnNext1Click);
    connect(btnBack1, &QPushButton::clicked, this, &TframeMsg::btnBack1Click);
    connect(btnCencel1, &QPushButton::clicked, this, &TframeMsg::btnCencel1Click);
    connect(btnDeCancel, &QPushButton::clicked, this, &TframeMsg::btnCencel1Click);
    connect(btnSelImg, &QPushButton::clicked, this, &TframeMsg::btnSelImgClick);
    connect(cbbFiles, &QComboBox::editTextChanged, this, &TframeMsg::cbbFilesChange);
    connect(edtPass1, &QLineEdit::textChanged, this, &TframeMsg::edtPass1Change);
    connect(edtPass2, &QLineEdit::textChanged, this, &TframeMsg::edtPass1Change);
    // Clicks only: the wizard's own setting of the choice is no choice of the user's.
    connect(rbClassic, &QRadioButton::clicked, this, &TframeMsg::rbFormatClick);
    connect(rbSealed, &QRadioButton::clicked, this, &TframeMsg::rbFormatClick);
    connect(pgcEncodeImage, &QStackedWidget::currentChanged, this,
            &TframeMsg::pgcEncodeImageTabActive);
    connect(btnSave, &QPushButton::clicked, this, &TframeMsg::btnSaveClick);
    connect(btnDeSave, &QPushButton::clicked, this, &TframeMsg::btnDeSaveClick);
    connect(btnDeSaveAs, &QPushButton::clicked, this, &TframeMsg::btnDeSaveAsClick);
    connect(mmoDeMsg, &QPlainTextEdit::textChanged, this, &TframeMsg::mmoDeMsgChange);
    ConnectFileListHandlers();
    ConnectDropsAndKeys();
}

void TframeMsg::SetPasswordPrompt(TfrmCheckPass* prompt) {
    m_prompt = prompt;
}

QString TframeMsg::ByteWord() const {
    return Message("strByte");
}

void TframeMsg::ReleaseEngine() {
    m_session.reset();
}

const CBindImage* TframeMsg::Engine() const {
    return m_session != nullptr ? &m_session->Engine() : nullptr;
}

bool TframeMsg::NewSession(const QString& path) {
    m_session.reset();
    try {
        m_session = std::make_unique<CarrierSession>(path.toStdString());
    } catch (...) {
        return false;
    }
    return m_session->Open().Ok();
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

QString TframeMsg::Message(const char* key, const QString& value) const {
    QString text = Message(key);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, value);
    return text;
}

void TframeMsg::ShowError(const char* key, const QString& value) {
    Dialogs().Error(window(), Message("strError"),
                    value.isNull() ? Message(key) : Message(key, value));
}

void TframeMsg::FocusIfVisible(QWidget* widget) {
    if (widget->isVisible())
        widget->setFocus(Qt::OtherFocusReason);
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

TframeMsg::SaveOutcome TframeMsg::SaveFromList(SaveRequest& request, const QTreeWidget* list) {
    std::vector<int> keptSlots;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        const int slot = RowSlot(row);
        if (slot >= 0)
            keptSlots.push_back(slot);
        else if (!RowName(row).isEmpty())
            request.addedFiles.emplace_back(RowName(row).toStdString());
    }
    if (m_session->IsUnlocked())
        request.keptEntries = m_session->KeptEntriesForSlots(keptSlots);
    if (!request.keepMessage && request.message && !IsStorableMessage(*request.message)) {
        ShowError("strMessageNul");
        return SaveOutcome::Failed;
    }
    std::shared_ptr<SealedSaveKeys> keys;
    if (const SaveOutcome derived = DeriveSaveKeys(request, keys); derived != SaveOutcome::Saved)
        return derived;
    for (;;) {
        ProgressWatch watch(window(), Message("strSaving"), MessageSource(), true);
        Status status = Status::Success();
        {
            ObserverScope observing(*m_session, &watch);
            status = m_session->Save(request);
        }
        if (status.Ok())
            return SaveOutcome::Saved;
        if (status.outcome == Outcome::Cancelled || watch.WasCancelled())
            return SaveOutcome::Stopped;
        // Content that would be lost, or a carrier changed meanwhile, needs the user's word.
        const char* question = status.outcome == Outcome::WouldLose ? "strSaveLoses"
                               : status.outcome == Outcome::Changed ? "strCarrierChanged"
                                                                    : nullptr;
        if (question == nullptr) {
            ShowSaveFailure(status);
            return SaveOutcome::Failed;
        }
        if (Dialogs().QuestionYesNo(window(), Message("strrAppName"),
                                    Message(question, QString::fromStdString(status.subject))) !=
            Answer::Yes)
            return SaveOutcome::Cancelled;
        (status.outcome == Outcome::WouldLose ? request.allowLoss : request.allowChanged) = true;
    }
}

TframeMsg::SaveOutcome TframeMsg::DeriveSaveKeys(SaveRequest& request,
                                                 std::shared_ptr<SealedSaveKeys>& keys) {
    const Password* password =
        request.newPassword != nullptr ? request.newPassword : m_session->CurrentPassword();
    if (request.format != CarrierFormat::Sealed || password == nullptr)
        return SaveOutcome::Saved;
    // The derivation may outlive this call when the user cancels: it owns what it uses.
    keys = std::make_shared<SealedSaveKeys>();
    auto typed = std::make_shared<Password>(password->Copy());
    const Status derived = RunInBackground(
        window(), Message("strSaving"), MessageSource(),
        [keys, typed, picture = m_session->PictureForSealedSave()](CProgressObserver& observer) {
            return DeriveSealedSaveKeys(picture, *typed, *keys, [&observer] {
                return !observer.OnProgress(ProgressStep::DerivingKey, 0, 0);
            });
        });
    if (derived.outcome == Outcome::Cancelled)
        return SaveOutcome::Stopped;
    if (derived.outcome == Outcome::NoMemory)
        ShowError("strNoMemoryKey");
    else if (!derived.Ok())
        ShowSaveFailure(derived);
    if (!derived.Ok())
        return SaveOutcome::Failed;
    request.sealedKeys = keys.get();
    return SaveOutcome::Saved;
}

void TframeMsg::ShowSaveFailure(const Status& status) {
    if (status.outcome == Outcome::Busy)
        ShowError("strCarrierBusy", QString::fromStdString(status.subject));
    else
        ShowError("strSaveError");
}

std::function<QString(const char*)> TframeMsg::MessageSource() const {
    return [this](const char* key) { return Message(key); };
}

void TframeMsg::btnCencel1Click() {
    const bool wizardAtEnd =
        !pnlEnCodeImage->isHidden() && pgcEncodeImage->currentWidget() == tsSaveImg;
    const bool revealing = !pnlDecodeImage->isHidden();
    if (!m_saved && (wizardAtEnd || revealing)) {
        const Answer answer =
            Dialogs().QuestionYesNoCancel(window(), Message("strrAppName"), Message("strNotSave"));
        if (answer == Answer::Cancel)
            return;
        if (answer == Answer::Yes) {
            const SaveOutcome outcome = wizardAtEnd ? SaveWizardCarrier() : SaveToImage(QString());
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
    if (!pnlDecodeImage->isHidden())
        return true;
    return !mmoMsg->toPlainText().isEmpty() || lvFiles->topLevelItemCount() > 0 ||
           !edtPass1->text().isEmpty() || !edtPass2->text().isEmpty();
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
    btnCencel1->setText(Message("strCancel"));
    hide();
    m_host->ShowImage(QString());
    ReleaseEngine();
    m_host->ShowMainPanel(true);
}

} // namespace lumora
