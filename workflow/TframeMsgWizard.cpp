// SPDX-License-Identifier: GPL-2.0-or-later
// The five-page hide wizard: image, message, files, password, save.
#include "workflow/TframeMsg.h"

#include "engine/CarrierSession.h"
#include "workflow/MemoText.h"

#include "platform/Dialogs.h"
#include "workflow/DialogFolders.h"
#include "workflow/RecentImages.h"
#include "workflow/SettingsStore.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

namespace lumora {
namespace {

// The picture dialog's filters: the shown description, then its patterns in parentheses
// (the dialog hides that last group, and Qt separates patterns by blanks).
QStringList PictureFilters() {
    static const char* const entries[][2] = {
        {"All (*.pcx;*.gif;*.ani;*.gif;*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.png;"
         "*.webp;*.tif;*.tiff)",
         "*.pcx;*.gif;*.ani;*.gif;*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.png;*.webp;"
         "*.tif;*.tiff"},
        {"PCX Image (*.pcx)", "*.pcx"},
        {"CompuServe GIF Image (*.gif)", "*.gif"},
        {"ANI Image (*.ani)", "*.ani"},
        {"GIF Image (*.gif)", "*.gif"},
        {"JPEG Image File (*.jpg)", "*.jpg"},
        {"JPEG Image File (*.jpeg)", "*.jpeg"},
        {"JPEG Image File (*.jpg)", "*.jpg"},
        {"JPEG Image File (*.jpeg)", "*.jpeg"},
        {"Bitmaps (*.bmp)", "*.bmp"},
        {"Icons (*.ico)", "*.ico"},
        {"Enhanced Metafiles (*.emf)", "*.emf"},
        {"Metafiles (*.wmf)", "*.wmf"},
        {"PNG Image (*.png)", "*.png"},
        {"WebP Image (*.webp)", "*.webp"},
        {"TIFF Image (*.tif)", "*.tif"},
        {"TIFF Image (*.tiff)", "*.tiff"},
        {"All (*.*)", "*"},
    };
    QStringList filters;
    for (const auto& entry : entries) {
        QString patterns = QString::fromLatin1(entry[1]);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(entry[0]), patterns));
    }
    return filters;
}

// The settings key of the carrier format last chosen, and its values.
constexpr const char* kFormatSetting = "CarrierFormat";
const QString kSealedSetting = QStringLiteral("sealed");
const QString kClassicSetting = QStringLiteral("classic");

} // namespace

void TframeMsg::ShowHideWizard() {
    show();
    pnlEnCodeImage->show();
    pnlDecodeImage->hide();
    SetWizardPage(0);
    cbbFiles->setEditText(QString());
    mmoMsg->clear();
    lvFiles->clear();
    LoadRecentImages();
    edtPass1->clear();
    edtPass2->clear();
    LoadCarrierFormat();
    lvFilesChange();
    btnCencel1->setText(Message("strCancel"));
    m_saved = false;
    cbbFilesChange();
    pgcEncodeImageTabActive(0);
}

void TframeMsg::ShowHideWizard(const QString& image) {
    ShowHideWizard();
    ChooseImage(image);
}

void TframeMsg::LoadRecentImages() {
    m_recentImages = ReadRecentImages();
    cbbFiles->clear();
    for (const QString& image : m_recentImages) {
        if (!image.isEmpty())
            cbbFiles->addItem(image);
    }
    cbbFiles->setEditText(m_recentImages.value(0));
    cbbFilesChange();
}

void TframeMsg::SaveRecentImages() {
    WriteRecentImages(m_recentImages);
}

void TframeMsg::SetWizardPage(int index) {
    pgcEncodeImage->setCurrentIndex(index);
}

void TframeMsg::cbbFilesChange() {
    const QString path = cbbFiles->currentText();
    btnNext1->setEnabled(!path.isEmpty());
    if (!path.isEmpty())
        m_host->ShowImage(path);
}

void TframeMsg::btnSelImgClick() {
    const QString path =
        Dialogs().OpenPicture(window(), PictureFilters(), StartFolder(DialogFolder::WizardImage));
    RememberFolderOf(DialogFolder::WizardImage, path);
    ChooseImage(path);
}

void TframeMsg::ChooseImage(const QString& path) {
    if (path.isEmpty())
        return;
    cbbFiles->setEditText(path);
    PutFirst(m_recentImages, path);
    cbbFilesChange();
}

void TframeMsg::btnNext1Click() {
    const int last = pgcEncodeImage->count() - 1;
    if (pgcEncodeImage->currentWidget() == tsSelectImg) {
        PutFirst(m_recentImages, cbbFiles->currentText());
        SaveRecentImages();
    }
    if (pgcEncodeImage->currentIndex() < last)
        SetWizardPage(pgcEncodeImage->currentIndex() + 1);
    if (pgcEncodeImage->currentIndex() == last) {
        btnNext1->setEnabled(false);
        btnCencel1->setText(Message("strFinish"));
    }
}

void TframeMsg::btnBack1Click() {
    if (pgcEncodeImage->currentIndex() > 0) {
        SetWizardPage(pgcEncodeImage->currentIndex() - 1);
        btnNext1->setEnabled(true);
        btnCencel1->setText(Message("strCancel"));
        return;
    }
    if (!ConfirmDiscard("strDiscard"))
        return;
    hide();
    m_host->ShowImage(QString());
    m_host->ShowMainPanel(true);
}

void TframeMsg::edtPass1Change() {
    const QString password = edtPass1->text();
    const bool typed = !password.isEmpty();
    const bool match = typed && password == edtPass2->text();
    imgRight->setVisible(match);
    imgError->setVisible(typed && !match);
    lblPasswordError->setVisible(typed && !match);
    btnNext1->setEnabled(match);
}

void TframeMsg::LoadCarrierFormat() {
    const bool sealed = ReadSetting(kFormatSetting) == kSealedSetting;
    rbSealed->setChecked(sealed);
    rbClassic->setChecked(!sealed);
}

void TframeMsg::rbFormatClick() {
    WriteSetting(kFormatSetting, rbSealed->isChecked() ? kSealedSetting : kClassicSetting);
}

void TframeMsg::pgcEncodeImageTabActive(int index) {
    QWidget* page = pgcEncodeImage->widget(index);
    if (page == tsSelectImg) {
        FocusIfVisible(cbbFiles);
        cbbFiles->lineEdit()->selectAll();
    } else if (page == tsInputMsg) {
        FocusIfVisible(mmoMsg);
    } else if (page == tsInputFiles) {
        FocusIfVisible(lvFiles);
    } else if (page == tsSetPass) {
        edtPass1Change();
        FocusIfVisible(edtPass1);
    } else if (page == tsSaveImg) {
        FocusIfVisible(btnSave);
    }
}

void TframeMsg::btnSaveClick() {
    SaveWizardCarrier();
}

TframeMsg::SaveOutcome TframeMsg::SaveWizardCarrier() {
    const QString image = cbbFiles->currentText();
    if (image.isEmpty())
        return SaveOutcome::Cancelled;
    const QString target = AskSavePath(image);
    if (target.isEmpty())
        return SaveOutcome::Cancelled;
    if (!NewSession(image)) {
        ReleaseEngine();
        ShowError("strSaveError");
        return SaveOutcome::Failed;
    }
    // Both fields agree on every way onto this page; an empty pair saves under the empty
    // password.
    const QByteArray typed =
        (edtPass2->text() == edtPass1->text() ? edtPass2->text() : QString()).toUtf8();
    const Password password(std::string_view(typed.constData(), typed.size()));
    if (password.HasNul()) {
        ShowError("strPasswordNul");
        return SaveOutcome::Failed;
    }
    SaveRequest request;
    request.destination = target.toStdString();
    request.message = ToStoredMessage(mmoMsg->toPlainText());
    request.newPassword = &password;
    request.format = rbSealed->isChecked() ? CarrierFormat::Sealed : CarrierFormat::Classic;
    const SaveOutcome outcome = SaveFromList(request, lvFiles);
    if (outcome == SaveOutcome::Saved) {
        m_saved = true;
        Dialogs().Information(window(), Message("strrAppName"),
                              Message("strSavedAs", QDir::toNativeSeparators(target)));
    }
    return outcome;
}

} // namespace lumora
