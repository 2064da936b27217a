// SPDX-License-Identifier: GPL-2.0-or-later
// The reveal view: loading a carrier behind the password prompt, showing its message and
// files, and writing the result back into the image or into a new carrier.
#include "workflow/TframeMsg.h"

#include "engine/CarrierSession.h"
#include "engine/FormatFileSize.h"
#include "engine/MessageForm.h"
#include "platform/Dialogs.h"
#include "workflow/BackgroundWork.h"
#include "workflow/FileListRows.h"
#include "workflow/MemoText.h"
#include "workflow/ProgressWatch.h"
#include "workflow/TfrmCheckPass.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSignalBlocker>
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

int TframeMsg::LoadFromImage(const QString& path, const QString& password) {
    const int loaded =
        LoadGuarded(path, password.isEmpty() ? std::nullopt : std::optional(password), true);
    // The button that started the load is hidden now; without this nothing would have the
    // focus and Esc would not reach the view.
    if (loaded == 1)
        FocusRevealPage();
    return loaded;
}

void TframeMsg::FocusRevealPage() {
    FocusIfVisible(pgcDecodeImage->currentWidget() == tsOutputFiles
                       ? static_cast<QWidget*>(lvDeFiles)
                       : static_cast<QWidget*>(mmoDeMsg));
}

int TframeMsg::LoadGuarded(const QString& path, const std::optional<QString>& preset,
                           bool cancellable) {
    m_saved = true;
    if (path.isEmpty())
        return 0;
    try {
        return LoadCarrier(path, preset, cancellable);
    } catch (...) {
        ReleaseEngine();
        ShowError("strDataError");
        return 0;
    }
}

int TframeMsg::LoadCarrier(const QString& path, const std::optional<QString>& preset,
                           bool cancellable) {
    ReleaseEngine();
    m_host->ShowImage(path);
    if (!NewSession(path)) {
        ReleaseEngine();
        ShowError("strDataError");
        return 0;
    }
    m_imagePath = path;
    // Without classic data the file may still hold sealed data; only a password tells.
    if (!m_session->HasData() && !m_session->MayHoldSealedData()) {
        ReleaseEngine();
        ShowError("strNoData");
        return 0;
    }
    if (!AskPassword(preset, cancellable)) {
        ReleaseEngine();
        return 0;
    }
    ShowRevealView();
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
    return 1;
}

void TframeMsg::ShowRevealView() {
    m_host->ShowImageInfo(m_session->Summary());
    FillRevealView();
    show();
    pnlEnCodeImage->hide();
    pnlDecodeImage->show();
    lvFilesChange();
    m_saved = true;
}

Status TframeMsg::Unlock(const QString& password, bool cancellable) {
    QByteArray typed = password.toUtf8();
    Password text(std::string_view(typed.constData(), typed.size()));
    typed.fill('\0');
    if (!m_session->HasData())
        return UnlockInBackground(std::move(text));
    ProgressWatch watch(window(), Message("strOpening"), MessageSource(), cancellable);
    ObserverScope observing(*m_session, &watch);
    return m_session->Unlock(std::move(text));
}

// The session goes to the unlocking thread and comes back when it is done. After a cancel
// it stays there, to be dropped when the derivation ends; the load is over by then.
Status TframeMsg::UnlockInBackground(Password password) {
    auto session = std::make_shared<std::unique_ptr<CarrierSession>>(std::move(m_session));
    auto typed = std::make_shared<Password>(std::move(password));
    const Status status = RunInBackground(window(), Message("strOpening"), MessageSource(),
                                          [session, typed](CProgressObserver& observer) {
                                              ObserverScope observing(**session, &observer);
                                              return (*session)->Unlock(std::move(*typed));
                                          });
    if (status.outcome != Outcome::Cancelled)
        m_session = std::move(*session);
    return status;
}

bool TframeMsg::AskPassword(const std::optional<QString>& preset, bool cancellable) {
    // A wrong password to sealed data reads like no data at all: that is the outcome the
    // prompt is asked again for.
    const bool sealed = !m_session->HasData();
    const Outcome tryAgain = sealed ? Outcome::NoData : Outcome::WrongPassword;
    Status status = Status::Fail(tryAgain, {});
    if (preset)
        status = Unlock(*preset, cancellable);
    if (m_prompt == nullptr) {
        if (m_ownPrompt == nullptr)
            m_ownPrompt = new TfrmCheckPass(window());
        m_prompt = m_ownPrompt;
    }
    m_prompt->SetSealed(sealed);
    m_prompt->SetPasswordFailed(0);
    for (int attempt = 1; status.outcome == tryAgain; ++attempt) {
        m_prompt->FormShow();
        if (Dialogs().Exec(m_prompt) != QDialog::Accepted)
            return false;
        status = Unlock(m_prompt->Password(), cancellable);
        // The typed text lives on in the session only.
        m_prompt->ClearPassword();
        if (status.outcome != tryAgain)
            break;
        if (attempt == kPasswordAttempts) {
            ShowError(sealed ? "strSealedNotOpened" : "strErrorPass");
            return false;
        }
        m_prompt->SetPasswordFailed(1);
    }
    switch (status.outcome) {
    case Outcome::Ok:
        return true;
    case Outcome::Cancelled:
        return false;
    case Outcome::NoData:
        ShowError("strNoData");
        return false;
    case Outcome::NoMemory:
        ShowError("strNoMemoryKey");
        return false;
    default:
        ShowError("strDataError");
        return false;
    }
}

void TframeMsg::FillRevealView() {
    {
        const QSignalBlocker quiet(mmoDeMsg);
        const auto& message = m_session->Message();
        mmoDeMsg->setPlainText(message ? FromStoredMessage(*message) : QString());
    }
    m_memoEdited = false;
    lvDeFiles->clear();
    const std::string byteWord = ByteWord().toStdString();
    const CBindImage& engine = m_session->Engine();
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        AppendFileRow(lvDeFiles, QString::fromStdString(ShowableText(slot.name)),
                      QString::fromStdString(FormatFileSize(slot.size, byteWord)), k);
    }
}

void TframeMsg::ShowMessagePage() {
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
}

void TframeMsg::ShowFilesPage() {
    pgcDecodeImage->setCurrentWidget(tsOutputFiles);
}

void TframeMsg::mmoDeMsgChange() {
    m_saved = false;
    m_memoEdited = true;
}

void TframeMsg::btnDeSaveClick() {
    SaveToImage(m_imagePath);
}

void TframeMsg::btnDeSaveAsClick() {
    SaveToImage(QString());
}

TframeMsg::SaveOutcome TframeMsg::SaveToImage(const QString& requestedTarget) {
    if (m_imagePath.isEmpty() || m_session == nullptr)
        return SaveOutcome::Cancelled;
    const QString target = requestedTarget.isEmpty() ? AskSavePath(m_imagePath) : requestedTarget;
    if (target.isEmpty())
        return SaveOutcome::Cancelled;
    // The session writes atomically, so even the loaded image itself is replaced only by
    // a complete carrier that has been read back.
    SaveRequest request;
    request.destination = target.toStdString();
    // An untouched memo keeps the stored message byte for byte, also text that is not
    // UTF-8 and a message too large to show.
    request.keepMessage = !m_memoEdited;
    // A sealed carrier stays sealed, under a fresh salt and nonce.
    request.format = m_session->Format();
    if (m_memoEdited)
        request.message = ToStoredMessage(mmoDeMsg->toPlainText());
    const bool inPlace = SameFile(target, m_imagePath);
    const SaveOutcome outcome = SaveFromList(request, lvDeFiles);
    if (outcome != SaveOutcome::Saved)
        return outcome;
    // The session now stands for what was written: its rows point at the new entries.
    // The user stays on the page he was on.
    m_imagePath = target;
    m_host->ShowImage(target);
    ShowRevealView();
    FocusRevealPage();
    if (inPlace)
        Dialogs().Information(window(), Message("strrAppName"), Message("strSaveOK"));
    return SaveOutcome::Saved;
}

} // namespace lumora
