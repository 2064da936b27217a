// SPDX-License-Identifier: GPL-2.0-or-later
// The reveal view: loading a carrier behind the password prompt, showing its message and
// files, and writing the result back into the image or into a new carrier.
#include "workflow/TframeMsg.h"

#include "engine/BindImage.h"
#include "engine/FormatFileSize.h"
#include "platform/Dialogs.h"
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
    if (!NewEngine()) {
        ShowError("strDataError");
        return 0;
    }
    m_engine->OpenCarrier(path.toStdString(), OPEN_INSPECT);
    m_imagePath = path;
    if (!m_engine->HasValidTrailer()) {
        ReleaseEngine();
        ShowError("strNoData");
        return 0;
    }
    if (!AskPassword(preset))
        return 0;
    m_engine->SetPassword(m_viewPassword.toStdString());
    if (!Unpack(cancellable)) {
        ReleaseEngine(); // cancelled: nothing is shown, as after a cancelled prompt
        return 0;
    }
    m_host->ShowImageInfo(m_engine->Trailer());
    FillRevealView();
    show();
    pnlEnCodeImage->hide();
    pnlDecodeImage->show();
    pgcDecodeImage->setCurrentWidget(tsOutputMsg);
    lvFilesChange();
    m_saved = true;
    return 1;
}

bool TframeMsg::Unpack(bool cancellable) {
    ProgressWatch watch(window(), Message("strOpening"), MessageSource(), cancellable);
    ObserverScope observing(*m_engine, &watch);
    // A payload whose archive holds no entry reports failure too; the view then simply
    // shows an empty message and an empty list.
    m_engine->UnpackPayload();
    if (!watch.WasCancelled())
        m_engine->SplitImagePart();
    return !watch.WasCancelled();
}

bool TframeMsg::AskPassword(const std::optional<QString>& preset) {
    if (preset && m_engine->VerifyPassword(preset->toStdString()) == 1) {
        m_viewPassword = *preset;
        return true;
    }
    if (m_prompt == nullptr) {
        if (m_ownPrompt == nullptr)
            m_ownPrompt = new TfrmCheckPass(window());
        m_prompt = m_ownPrompt;
    }
    m_prompt->SetPasswordFailed(0);
    for (int attempt = 1;; ++attempt) {
        m_prompt->FormShow();
        if (Dialogs().Exec(m_prompt) != QDialog::Accepted) {
            ReleaseEngine();
            return false;
        }
        const QString typed = m_prompt->Password();
        if (m_engine->VerifyPassword(typed.toStdString()) == 1) {
            m_viewPassword = typed;
            return true;
        }
        if (attempt == kPasswordAttempts) {
            ReleaseEngine();
            ShowError("strErrorPass");
            return false;
        }
        m_prompt->SetPasswordFailed(1);
        m_prompt->ClearPassword();
    }
}

void TframeMsg::FillRevealView() {
    {
        const QSignalBlocker quiet(mmoDeMsg);
        const auto& message = m_engine->Message();
        mmoDeMsg->setPlainText(message ? FromStoredMessage(*message) : QString());
    }
    lvDeFiles->clear();
    const std::string byteWord = ByteWord().toStdString();
    FileSlot slot;
    for (int k = m_engine->FirstFileSlot(slot); k >= 0; k = m_engine->NextFileSlot(slot, k)) {
        AppendFileRow(lvDeFiles, QString::fromStdString(slot.name),
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
}

void TframeMsg::btnDeSaveClick() {
    SaveToImage(m_imagePath);
}

void TframeMsg::btnDeSaveAsClick() {
    SaveToImage(QString());
}

TframeMsg::SaveOutcome TframeMsg::SaveToImage(const QString& requestedTarget) {
    if (m_imagePath.isEmpty())
        return SaveOutcome::Cancelled;
    const QString target = requestedTarget.isEmpty() ? AskSavePath(m_imagePath) : requestedTarget;
    if (target.isEmpty())
        return SaveOutcome::Cancelled;
    // The engine writes atomically, so even the loaded image itself is replaced only by a
    // complete carrier.
    const SaveOutcome outcome =
        WriteFromList(m_imagePath, m_viewPassword, mmoDeMsg->toPlainText(), lvDeFiles, target);
    if (outcome == SaveOutcome::Failed)
        ShowError("strSaveError");
    if (outcome != SaveOutcome::Saved)
        return outcome;
    m_saved = true;
    // Reload from what was written, so the rows point at the entries of the new archive.
    // That reload cannot be cancelled: the rows would be left pointing at nothing. The
    // user stays on the page he was on.
    const bool inPlace = SameFile(target, m_imagePath);
    const int page = pgcDecodeImage->currentIndex();
    if (LoadGuarded(target, m_viewPassword, false) == 1) {
        pgcDecodeImage->setCurrentIndex(page);
        FocusRevealPage();
    }
    if (inPlace)
        Dialogs().Information(window(), Message("strrAppName"), Message("strSaveOK"));
    return SaveOutcome::Saved;
}

} // namespace lumora
