// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/RevealView.h"

#include "engine/CarrierSession.h"
#include "engine/MessageForm.h"
#include "qtadapters/Dialogs.h"
#include "text/FormatFileSize.h"
#include "workflow/BackgroundWork.h"
#include "workflow/FileListRows.h"
#include "workflow/MemoText.h"
#include "workflow/ProgressWatch.h"
#include "workflow/TfrmCheckPass.h"

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

constexpr int kPasswordAttempts = 3;

bool SameFile(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

} // namespace

RevealView::RevealView(TframeMsg& frame) : QFrame(&frame), m_frame(frame) {
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
    connect(btnDeCancel, &QPushButton::clicked, &m_frame, &TframeMsg::btnCencel1Click);
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
    TframeMsg::FocusIfVisible(pgcDecodeImage->currentWidget() == tsOutputFiles
                                  ? static_cast<QWidget*>(lvDeFiles)
                                  : static_cast<QWidget*>(mmoDeMsg));
}

bool RevealView::LoadGuarded(const QString& path, const std::optional<QString>& preset,
                             bool cancellable) {
    m_frame.m_saved = true;
    if (path.isEmpty())
        return false;
    try {
        return LoadCarrier(path, preset, cancellable);
    } catch (...) {
        m_frame.ReleaseEngine();
        m_frame.ShowError("strDataError");
        return false;
    }
}

bool RevealView::LoadCarrier(const QString& path, const std::optional<QString>& preset,
                             bool cancellable) {
    m_frame.ReleaseEngine();
    m_frame.m_host->ShowImage(path);
    if (const Status opened = m_frame.NewSession(path); !opened.Ok()) {
        m_frame.ReleaseEngine();
        m_frame.ShowOpenFailure(opened);
        return false;
    }
    m_imagePath = path;
    // Without classic data the file may still hold sealed data; only a password tells.
    if (!m_frame.m_session->HasData() && !m_frame.m_session->MayHoldSealedData()) {
        m_frame.ReleaseEngine();
        m_frame.ShowOpenFailure(Status::Fail(Reason::NoData));
        return false;
    }
    if (!AskPassword(preset, cancellable)) {
        m_frame.ReleaseEngine();
        return false;
    }
    ShowRevealView();
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
    return true;
}

void RevealView::ShowRevealView() {
    m_frame.m_host->ShowImageInfo(m_frame.m_session->Summary());
    FillRevealView();
    m_frame.ShowPanel(this);
    m_frame.lvFilesChange();
    m_frame.m_saved = true;
}

Status RevealView::Unlock(const QString& password, bool cancellable) {
    QByteArray typed = password.toUtf8();
    Password text(std::string_view(typed.constData(), typed.size()));
    typed.fill('\0');
    if (!m_frame.m_session->HasData())
        return UnlockInBackground(std::move(text));
    ProgressWatch watch(window(), m_frame.Message("strOpening"), m_frame.MessageSource(),
                        cancellable);
    ObserverScope observing(*m_frame.m_session, &watch);
    return m_frame.m_session->Unlock(std::move(text));
}

// The session goes to the unlocking thread and comes back when it is done. After a cancel
// it stays there, to be dropped when the derivation ends; the load is over by then.
Status RevealView::UnlockInBackground(Password password) {
    auto session = std::make_shared<std::unique_ptr<CarrierSession>>(std::move(m_frame.m_session));
    auto typed = std::make_shared<Password>(std::move(password));
    const Status status =
        RunInBackground(window(), m_frame.Message("strOpening"), m_frame.MessageSource(),
                        [session, typed](CProgressObserver& observer) {
                            ObserverScope observing(**session, &observer);
                            return (*session)->Unlock(std::move(*typed));
                        });
    if (status.Outcome() != Outcome::Cancelled)
        m_frame.m_session = std::move(*session);
    return status;
}

bool RevealView::AskPassword(const std::optional<QString>& preset, bool cancellable) {
    // A wrong password to sealed data reads like no data at all: that is the outcome the
    // prompt is asked again for.
    const bool sealed = !m_frame.m_session->HasData();
    const Reason tryAgain = sealed ? Reason::SealedNotOpened : Reason::WrongPassword;
    Status status = Status::Fail(tryAgain);
    if (preset)
        status = Unlock(*preset, cancellable);
    if (m_prompt == nullptr) {
        if (m_ownPrompt == nullptr)
            m_ownPrompt = new TfrmCheckPass(window());
        m_prompt = m_ownPrompt;
    }
    m_prompt->SetSealed(sealed);
    m_prompt->SetPasswordFailed(0);
    for (int attempt = 1; status.reason == tryAgain; ++attempt) {
        m_prompt->FormShow();
        if (Dialogs().Exec(m_prompt) != QDialog::Accepted)
            return false;
        status = Unlock(m_prompt->Password(), cancellable);
        // The typed text lives on in the session only.
        m_prompt->ClearPassword();
        if (status.reason != tryAgain || attempt == kPasswordAttempts)
            break;
        m_prompt->SetPasswordFailed(1);
    }
    if (status.Ok())
        return true;
    if (status.Outcome() != Outcome::Cancelled)
        m_frame.ShowOpenFailure(status);
    return false;
}

void RevealView::FillRevealView() {
    {
        const QSignalBlocker quiet(mmoDeMsg);
        const auto& message = m_frame.m_session->Message();
        mmoDeMsg->setPlainText(message ? FromStoredMessage(*message) : QString());
    }
    m_memoEdited = false;
    lvDeFiles->clear();
    const std::string byteWord = m_frame.ByteWord().toStdString();
    const CBindImage& engine = m_frame.m_session->Engine();
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        AppendFileRow(lvDeFiles, QString::fromStdString(ShowableText(slot.name)),
                      QString::fromStdString(FormatFileSize(slot.size, byteWord)), k);
    }
}

void RevealView::ShowMessagePage() {
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
}

void RevealView::ShowFilesPage() {
    pgcDecodeImage->setCurrentWidget(tsOutputFiles);
}

void RevealView::mmoDeMsgChange() {
    m_frame.m_saved = false;
    m_memoEdited = true;
}

void RevealView::btnDeSaveClick() {
    SaveToImage(m_imagePath);
}

void RevealView::btnDeSaveAsClick() {
    SaveToImage(QString());
}

TframeMsg::SaveOutcome RevealView::SaveToImage(const QString& requestedTarget) {
    if (m_imagePath.isEmpty() || m_frame.m_session == nullptr)
        return TframeMsg::SaveOutcome::Cancelled;
    const QString target =
        requestedTarget.isEmpty() ? m_frame.AskSavePath(m_imagePath) : requestedTarget;
    if (target.isEmpty())
        return TframeMsg::SaveOutcome::Cancelled;
    // The session writes atomically, so even the loaded image itself is replaced only by
    // a complete carrier that has been read back.
    SaveRequest request;
    request.destination = target.toStdString();
    // An untouched memo keeps the stored message byte for byte, also text that is not
    // UTF-8 and a message too large to show.
    request.keepMessage = !m_memoEdited;
    // A sealed carrier stays sealed, under a fresh salt and nonce.
    request.format = m_frame.m_session->Format();
    if (m_memoEdited)
        request.message = ToStoredMessage(mmoDeMsg->toPlainText());
    const bool inPlace = SameFile(target, m_imagePath);
    const TframeMsg::SaveOutcome outcome = m_frame.SaveFromList(request, lvDeFiles);
    if (outcome != TframeMsg::SaveOutcome::Saved)
        return outcome;
    // The session now stands for what was written: its rows point at the new entries.
    // The user stays on the page he was on.
    m_imagePath = target;
    m_frame.m_host->ShowImage(target);
    ShowRevealView();
    FocusRevealPage();
    if (inPlace)
        Dialogs().Information(window(), m_frame.Message("strrAppName"),
                              m_frame.Message("strSaveOK"));
    return TframeMsg::SaveOutcome::Saved;
}

} // namespace lumora
