// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/RevealView.h"

#include "engine/MessageForm.h"
#include "engine/PasswordTries.h"
#include "qtadapters/Dialogs.h"
#include "text/FormatFileSize.h"
#include "workflow/BackgroundWork.h"
#include "workflow/DamageMarks.h"
#include "workflow/FileListRows.h"
#include "workflow/MemoText.h"
#include "workflow/ProgressWatch.h"
#include "workflow/TfrmCheckPass.h"
#include "workflow/ThrownStatus.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>

namespace lumora {
namespace {

bool SameFile(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

} // namespace

RevealView::RevealView(QWidget* frame, IPanelHost& host) : QFrame(frame), m_host(host) {
    setObjectName(QStringLiteral("pnlDecodeImage"));
    Build();
}

void RevealView::Build() {
    pgcDecodeImage = Named(new QTabWidget(this), "pgcDecodeImage");

    tsOutputMsg = Named(new QWidget, "tsOutputMsg");
    auto* messageLayout = PageLayout(tsOutputMsg);
    lbl5 = NewLabel(tsOutputMsg, "lbl5",
                    QStringLiteral("The text messages have been hidden into the image"));
    mmoDeMsg = NewMemo(tsOutputMsg, "mmoDeMsg");
    messageLayout->addWidget(lbl5);
    messageLayout->addWidget(mmoDeMsg, 1);

    tsOutputFiles = Named(new QWidget, "tsOutputFiles");
    auto* filesLayout = PageLayout(tsOutputFiles);
    lbl6 = NewLabel(tsOutputFiles, "lbl6",
                    QStringLiteral("The files have been hidden into the image"));
    lvDeFiles = NewFileList("lvDeFiles");
    lvDeFiles->setParent(tsOutputFiles);
    lvDeFiles->header()->setStretchLastSection(false);
    lvDeFiles->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    btnDeAdd = NewButton(tsOutputFiles, "btnDeAdd", QStringLiteral("&Add  Files"));
    btnDeDel = NewButton(tsOutputFiles, "btnDeDel", QStringLiteral("&Delete  Files"));
    btnDeRemoveAll =
        NewButton(tsOutputFiles, "btnDeRemoveAll", QStringLiteral("&Remove All  Files"));
    btnDeOpen = NewButton(tsOutputFiles, "btnDeOpen", QStringLiteral("&Open"));
    btnDeSaveFilesAs =
        NewButton(tsOutputFiles, "btnDeSaveFilesAs", QStringLiteral("Sav&e Files As"));
    m_listButtons = NewButtonGrid();
    filesLayout->addWidget(lbl6);
    filesLayout->addWidget(lvDeFiles, 1);
    filesLayout->addLayout(m_listButtons);

    pgcDecodeImage->addTab(tsOutputMsg, QStringLiteral("Hidden &Text Messages In Image"));
    pgcDecodeImage->addTab(tsOutputFiles, QStringLiteral("Hidden &Files In Image"));

    shp2 = NewSeparator(this, "shp2");
    btnDeSave = NewButton(this, "btnDeSave", QStringLiteral("&Save Image"));
    btnDeSaveAs = NewButton(this, "btnDeSaveAs", QStringLiteral("Sa&ve Image As"));
    btnDeCancel = NewButton(this, "btnDeCancel", QStringLiteral("&Cancel"));
    LayOutPanel(this, pgcDecodeImage, shp2, {btnDeSave, btnDeSaveAs, btnDeCancel});
}

void RevealView::SetTabOrder() {
    const QList<QWidget*> chain{pgcDecodeImage, mmoDeMsg,       lvDeFiles,  btnDeAdd,
                                btnDeDel,       btnDeRemoveAll, btnDeOpen,  btnDeSaveFilesAs,
                                btnDeSave,      btnDeSaveAs,    btnDeCancel};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void RevealView::ConnectHandlers() {
    SetTabOrder();
    connect(btnDeCancel, &QPushButton::clicked, this, [this] { m_host.CancelClicked(); });
    connect(btnDeSave, &QPushButton::clicked, this, &RevealView::btnDeSaveClick);
    connect(btnDeSaveAs, &QPushButton::clicked, this, &RevealView::btnDeSaveAsClick);
    connect(mmoDeMsg, &QPlainTextEdit::textChanged, this, &RevealView::mmoDeMsgChange);
}

void RevealView::FitListButtons(int pageWidth) {
    // The tab widget's frame takes a little of the width.
    const int tabFrame = 2 * pgcDecodeImage->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                  nullptr, pgcDecodeImage);
    ArrangeButtonRows(m_listButtons,
                      {btnDeAdd, btnDeDel, btnDeRemoveAll, btnDeOpen, btnDeSaveFilesAs}, 3,
                      pageWidth - tabFrame);
}

int RevealView::Load(const QString& path, const QString& password) {
    const bool loaded =
        LoadGuarded(path, password.isEmpty() ? std::nullopt : std::optional(password), true);
    // The button that started the load is hidden now; without this nothing would have the
    // focus and Esc would not reach the view.
    if (loaded)
        FocusRevealPage();
    return loaded ? 1 : 0;
}

void RevealView::FocusRevealPage() {
    FocusIfVisible(pgcDecodeImage->currentWidget() == tsOutputFiles
                       ? static_cast<QWidget*>(lvDeFiles)
                       : static_cast<QWidget*>(mmoDeMsg));
}

bool RevealView::LoadGuarded(const QString& path, const std::optional<QString>& preset,
                             bool cancellable) {
    m_host.SetSaved(true);
    if (path.isEmpty())
        return false;
    try {
        return LoadCarrier(path, preset, cancellable);
    } catch (...) {
        const Status failed = StatusOfThrown(std::current_exception(), Reason::ReadFailed);
        m_host.Carrier().Release();
        m_host.ShowOpenFailure(failed);
        return false;
    }
}

bool RevealView::LoadCarrier(const QString& path, const std::optional<QString>& preset,
                             bool cancellable) {
    FrameCarrier& carrier = m_host.Carrier();
    carrier.Release();
    m_host.Window().ShowImage(path);
    if (const Status opened = carrier.Open(path); !opened.Ok()) {
        m_host.ShowOpenFailure(opened);
        return false;
    }
    m_imagePath = path;
    // Without classic data the file may still hold sealed data; only a password tells.
    if (!carrier.opened->HoldsClassicData() && !carrier.opened->MayHoldSealedData() &&
        !carrier.opened->MayHoldWovenData()) {
        carrier.Release();
        m_host.ShowOpenFailure(Status::Fail(Reason::NoData));
        return false;
    }
    if (!AskPassword(preset, cancellable)) {
        m_host.Carrier().Release();
        return false;
    }
    ShowRevealView();
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
    return true;
}

void RevealView::ShowRevealView() {
    m_host.Window().ShowImageInfo(m_host.Carrier().unlocked->Summary());
    FillRevealView();
    m_host.ShowPanel(this);
    m_host.FileListsChanged();
    m_host.SetSaved(true);
}

Status RevealView::Unlock(const QString& password, bool cancellable) {
    QByteArray typed = password.toUtf8();
    Password text(std::string_view(typed.constData(), typed.size()));
    typed.fill('\0');
    FrameCarrier& carrier = m_host.Carrier();
    if (!carrier.opened->HoldsClassicData())
        return UnlockInBackground(std::move(text));
    ProgressWatch watch(window(), m_host.Message("strOpening"), m_host.MessageSource(),
                        cancellable);
    ObserverScope observing(carrier, &watch);
    return carrier.Unlock(std::move(text));
}

// The carrier goes to the unlocking thread and comes back when it is done. After a cancel
// it stays there, to be dropped when the derivation ends; the load is over by then.
Status RevealView::UnlockInBackground(Password password) {
    auto carrier = std::make_shared<FrameCarrier>(std::move(m_host.Carrier()));
    auto typed = std::make_shared<Password>(std::move(password));
    const Status status =
        RunInBackground(window(), m_host.Message("strOpening"), m_host.MessageSource(),
                        [carrier, typed](CProgressObserver& observer) {
                            ObserverScope observing(*carrier, &observer);
                            return carrier->Unlock(std::move(*typed));
                        });
    if (status.Outcome() != Outcome::Cancelled)
        m_host.Carrier() = std::move(*carrier);
    return status;
}

TfrmCheckPass* RevealView::Prompt() {
    if (m_prompt == nullptr) {
        if (m_ownPrompt == nullptr)
            m_ownPrompt = new TfrmCheckPass(window());
        m_prompt = m_ownPrompt;
    }
    return m_prompt;
}

SaveOutcome RevealView::ConfirmPassword(const UnlockedCarrier& carrier) {
    TfrmCheckPass* prompt = Prompt();
    prompt->SetConfirming(true);
    prompt->SetPasswordFailed(0);
    prompt->FormShow();
    const bool typed = Dialogs().Exec(prompt) == QDialog::Accepted;
    prompt->SetConfirming(false);
    if (!typed) {
        prompt->ClearPassword();
        return SaveOutcome::Cancelled;
    }
    QByteArray text = prompt->Password().toUtf8();
    prompt->ClearPassword();
    const Password again(std::string_view(text.constData(), text.size()));
    text.fill('\0');
    const Password* current = carrier.CurrentPassword();
    if (current != nullptr && again == *current)
        return SaveOutcome::Saved;
    m_host.ShowSaveFailure(Status::Fail(Reason::PasswordUnproved, m_imagePath.toStdString()));
    return SaveOutcome::Failed;
}

bool RevealView::AskPassword(const std::optional<QString>& preset, bool cancellable) {
    PasswordTries tries(*m_host.Carrier().opened, kPromptTries);
    Status status = Status::Success();
    bool ask = true;
    if (preset) {
        status = Unlock(*preset, cancellable);
        ask = tries.CallsForAnother(status);
    }
    Prompt();
    m_prompt->SetSealed(tries.ForSealedData());
    m_prompt->SetPasswordFailed(0);
    while (ask) {
        m_prompt->FormShow();
        if (Dialogs().Exec(m_prompt) != QDialog::Accepted)
            return false;
        status = Unlock(m_prompt->Password(), cancellable);
        // The typed text lives on in the carrier only.
        m_prompt->ClearPassword();
        ask = tries.AskAgain(status);
        if (ask)
            m_prompt->SetPasswordFailed(1);
    }
    if (status.Ok())
        return true;
    if (status.Outcome() != Outcome::Cancelled)
        m_host.ShowOpenFailure(status);
    return false;
}

void RevealView::FillRevealView() {
    {
        const QSignalBlocker quiet(mmoDeMsg);
        const auto& message = m_host.Carrier().unlocked->Message();
        mmoDeMsg->setPlainText(message ? FromStoredMessage(*message) : QString());
    }
    // An empty memo over a message that could not be read says why it is empty.
    const bool messageDamaged =
        m_host.Carrier().unlocked->GetMessageState() == MessageState::Damaged;
    mmoDeMsg->setPlaceholderText(messageDamaged ? m_host.Message("strMessageDamaged") : QString());
    m_memoEdited = false;
    lvDeFiles->clear();
    const std::string byteWord = m_host.ByteWord().toStdString();
    // The entries of the slots, in their order; those past them are kept unseen.
    for (const HiddenEntry& entry : m_host.Carrier().unlocked->Entries()) {
        if (entry.slot < 0)
            continue;
        AppendFileRow(lvDeFiles, QString::fromStdString(ShowableText(entry.name)),
                      QString::fromStdString(FormatFileSize(entry.size, byteWord)), entry.index);
    }
    MarkDamagedRows(lvDeFiles, m_host.Carrier(), m_host.MessageSource());
}

void RevealView::ShowMessagePage() {
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
}

void RevealView::ShowFilesPage() {
    pgcDecodeImage->setCurrentWidget(tsOutputFiles);
}

void RevealView::mmoDeMsgChange() {
    m_host.SetSaved(false);
    m_memoEdited = true;
}

void RevealView::btnDeSaveClick() {
    SaveToImage(m_imagePath);
}

void RevealView::btnDeSaveAsClick() {
    SaveToImage(QString());
}

SaveOutcome RevealView::SaveToImage(const QString& requestedTarget) {
    return m_host.GuardedSave(
        [this, &requestedTarget] { return SaveToImageUnguarded(requestedTarget); });
}

SaveOutcome RevealView::SaveToImageUnguarded(const QString& requestedTarget) {
    const UnlockedCarrier* carrier = m_host.Carrier().unlocked.get();
    if (m_imagePath.isEmpty() || carrier == nullptr)
        return SaveOutcome::Cancelled;
    const QString target =
        requestedTarget.isEmpty() ? m_host.AskSavePath(m_imagePath) : requestedTarget;
    if (target.isEmpty())
        return SaveOutcome::Cancelled;
    // Woven data is woven into the picture again: said once, not asked every time.
    if (carrier->Format() == CarrierFormat::Woven && !m_wovenNoteShown) {
        m_wovenNoteShown = true;
        Dialogs().Information(window(), m_host.Message("strrAppName"),
                              m_host.Message("strWovenSaveNote"));
    }
    // The session writes atomically, so even the loaded image itself is replaced only by
    // a complete carrier that has been read back.
    SaveRequest request;
    request.destination = target.toStdString();
    // An untouched memo keeps the stored message byte for byte, also text that is not
    // UTF-8 and a message too large to show.
    request.keepMessage = !m_memoEdited;
    // A sealed carrier stays sealed, under a fresh salt and nonce.
    request.format = carrier->Format();
    if (m_memoEdited)
        request.message = ToStoredMessage(mmoDeMsg->toPlainText());
    const bool inPlace = SameFile(target, m_imagePath);
    if (!carrier->PasswordProvedWhole()) {
        const SaveOutcome confirmed = ConfirmPassword(*carrier);
        if (confirmed != SaveOutcome::Saved)
            return confirmed;
        request.passwordConfirmed = true;
    }
    const SaveOutcome outcome = m_host.SaveFromList(request, lvDeFiles);
    if (outcome != SaveOutcome::Saved)
        return outcome;
    // The session now stands for what was written: its rows point at the new entries.
    // The user stays on the page he was on.
    m_imagePath = target;
    m_host.Window().ShowImage(target);
    ShowRevealView();
    FocusRevealPage();
    if (inPlace)
        Dialogs().Information(window(), m_host.Message("strrAppName"), m_host.Message("strSaveOK"));
    return SaveOutcome::Saved;
}

} // namespace lumora
