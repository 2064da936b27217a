// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/HideWizard.h"

#include "qtadapters/Dialogs.h"
#include "qtadapters/NameFilters.h"
#include "workflow/CoverQuestion.h"
#include "workflow/DialogFolders.h"
#include "workflow/FileDropTarget.h"
#include "workflow/FileListRows.h"
#include "workflow/FormatChoice.h"
#include "workflow/MemoText.h"
#include "workflow/RecentImages.h"
#include "workflow/StrengthMeter.h"
#include "workflow/WovenRoom.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>

namespace lumora {

HideWizard::HideWizard(QWidget* frame, IPanelHost& host) : QFrame(frame), m_host(host) {
    setObjectName(QStringLiteral("pnlEnCodeImage"));
    Build();
}

HideWizard::~HideWizard() = default;

void HideWizard::Build() {
    pgcEncodeImage = Named(new QStackedWidget(this), "pgcEncodeImage");

    tsSelectImg = Named(new QWidget, "tsSelectImg");
    auto* selectLayout = PageLayout(tsSelectImg);
    lbl1 = NewLabel(tsSelectImg, "lbl1",
                    QStringLiteral("Select an Image, Text messages and the files will be "
                                   "hidden into the image"));
    cbbFiles = Named(new QComboBox(tsSelectImg), "cbbFiles");
    cbbFiles->setEditable(true);
    cbbFiles->setInsertPolicy(QComboBox::NoInsert);
    cbbFiles->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    btnSelImg = NewButton(tsSelectImg, "btnSelImg", QStringLiteral("..."));
    btnSelImg->setFixedWidth(40);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(cbbFiles, 1);
    pathRow->addWidget(btnSelImg);
    selectLayout->addWidget(lbl1);
    selectLayout->addLayout(pathRow);
    selectLayout->addStretch(1);

    tsInputMsg = Named(new QWidget, "tsInputMsg");
    auto* messageLayout = PageLayout(tsInputMsg);
    lbl2 = NewLabel(tsInputMsg, "lbl2",
                    QStringLiteral("Input text messages which will be hidden into the image. "
                                   "Please press next if you donot want to introduce "
                                   "anything."));
    mmoMsg = NewMemo(tsInputMsg, "mmoMsg");
    messageLayout->addWidget(lbl2);
    messageLayout->addWidget(mmoMsg, 1);

    tsInputFiles = Named(new QWidget, "tsInputFiles");
    auto* filesLayout = PageLayout(tsInputFiles);
    lbl3 = NewLabel(tsInputFiles, "lbl3",
                    QStringLiteral("Append files which will be hidden into the image. Please "
                                   "press next if you donot want to add anything."));
    lvFiles = NewFileList("lvFiles");
    lvFiles->setParent(tsInputFiles);
    btnAdd = NewButton(tsInputFiles, "btnAdd", QStringLiteral("&Add Files"));
    btnDel = NewButton(tsInputFiles, "btnDel", QStringLiteral("&Delete Files"));
    btnRemoveAll = NewButton(tsInputFiles, "btnRemoveAll", QStringLiteral("&Remove All Files"));
    btnOpen = NewButton(tsInputFiles, "btnOpen", QStringLiteral("&Open"));
    m_listButtons = NewButtonGrid();
    filesLayout->addWidget(lbl3);
    filesLayout->addWidget(lvFiles, 1);
    filesLayout->addLayout(m_listButtons);

    tsSetPass = Named(new QWidget, "tsSetPass");
    auto* passLayout = PageLayout(tsSetPass);
    lbl4 = NewLabel(tsSetPass, "lbl4",
                    QStringLiteral("Set a password to protect the files and the text messages "
                                   "hidden in the image"));
    lbl7 = NewLabel(tsSetPass, "lbl7", QStringLiteral("&Password:"));
    lbl8 = NewLabel(tsSetPass, "lbl8", QStringLiteral("C&onfirm Password:"));
    edtPass1 = Named(new QLineEdit(tsSetPass), "edtPass1");
    edtPass2 = Named(new QLineEdit(tsSetPass), "edtPass2");
    for (QLineEdit* field : {edtPass1, edtPass2})
        field->setEchoMode(QLineEdit::Password);
    lbl7->setBuddy(edtPass1);
    lbl8->setBuddy(edtPass2);
    lblPasswordError = NewLabel(tsSetPass, "lblPasswordError",
                                QStringLiteral("The password and confirm password fields do "
                                               "not match."));
    lblPasswordError->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    lblPasswordError->hide();
    imgRight = NewMark(tsSetPass, "imgRight", QStringLiteral(":/theme/right.png"),
                       QStringLiteral("\u2714"));
    imgError = NewMark(tsSetPass, "imgError", QStringLiteral(":/theme/error.png"),
                       QStringLiteral("\u2718"));
    auto* passGrid = new QGridLayout;
    passGrid->addWidget(lbl7, 0, 0);
    passGrid->addWidget(edtPass1, 0, 1);
    passGrid->addWidget(lbl8, 1, 0);
    passGrid->addWidget(edtPass2, 1, 1);
    passGrid->addWidget(imgRight, 1, 2);
    passGrid->addWidget(imgError, 1, 3);
    passGrid->addWidget(lblPasswordError, 2, 0, 1, 4);
    m_strength = std::make_unique<StrengthMeter>(tsSetPass, m_host, passGrid, 3);
    passGrid->setColumnMinimumWidth(2, 16);
    passGrid->setColumnMinimumWidth(3, 16);
    passLayout->addWidget(lbl4);
    passLayout->addSpacing(8);
    passLayout->addLayout(passGrid);
    grpFormat = new FormatChoice(tsSetPass, m_host);
    passLayout->addSpacing(8);
    passLayout->addWidget(grpFormat);
    passLayout->addStretch(1);

    tsSaveImg = Named(new QWidget, "tsSaveImg");
    auto* saveLayout = PageLayout(tsSaveImg);
    btnSave = NewButton(tsSaveImg, "btnSave", QStringLiteral("&Save the Image ..."));
    btnSave->setFixedSize(200, 30);
    saveLayout->addStretch(1);
    saveLayout->addWidget(btnSave, 0, Qt::AlignHCenter);
    saveLayout->addStretch(2);

    for (QWidget* page : {tsSelectImg, tsInputMsg, tsInputFiles, tsSetPass, tsSaveImg})
        pgcEncodeImage->addWidget(page);

    shp1 = NewSeparator(this, "shp1");
    btnBack1 = NewButton(this, "btnBack1", QStringLiteral("< &Back"));
    btnNext1 = NewButton(this, "btnNext1", QStringLiteral("&Next >"));
    btnCencel1 = NewButton(this, "btnCencel1", QStringLiteral("&Cancel"));
    LayOutPanel(this, pgcEncodeImage, shp1, {btnBack1, btnNext1, btnCencel1});
}

void HideWizard::SetTabOrder() {
    const QList<QWidget*> chain =
        QList<QWidget*>{cbbFiles, btnSelImg,    mmoMsg,  lvFiles,  btnAdd,
                        btnDel,   btnRemoveAll, btnOpen, edtPass1, edtPass2} +
        grpFormat->TabChain() + QList<QWidget*>{btnSave, btnBack1, btnNext1, btnCencel1};
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void HideWizard::ConnectHandlers() {
    SetTabOrder();
    connect(btnNext1, &QPushButton::clicked, this, &HideWizard::btnNext1Click);
    connect(btnBack1, &QPushButton::clicked, this, &HideWizard::btnBack1Click);
    connect(btnCencel1, &QPushButton::clicked, this, [this] { m_host.CancelClicked(); });
    connect(btnSelImg, &QPushButton::clicked, this, &HideWizard::btnSelImgClick);
    connect(cbbFiles, &QComboBox::editTextChanged, this, &HideWizard::cbbFilesChange);
    connect(edtPass1, &QLineEdit::textChanged, this, &HideWizard::edtPass1Change);
    connect(edtPass2, &QLineEdit::textChanged, this, &HideWizard::edtPass1Change);
    grpFormat->ConnectHandlers([this] { FormatChanged(); });
    connect(pgcEncodeImage, &QStackedWidget::currentChanged, this,
            &HideWizard::pgcEncodeImageTabActive);
    connect(btnSave, &QPushButton::clicked, this, &HideWizard::SaveCarrier);
    // Only the first of several dropped files can be the image.
    new FileDropTarget({tsSelectImg, cbbFiles, cbbFiles->lineEdit()},
                       [this](const QStringList& paths) { ChooseImage(paths.first()); });
    auto pressNext = [this] {
        if (btnNext1->isVisible() && btnNext1->isEnabled())
            btnNext1->click();
    };
    connect(cbbFiles->lineEdit(), &QLineEdit::returnPressed, this, pressNext);
    connect(edtPass1, &QLineEdit::returnPressed, this, pressNext);
    connect(edtPass2, &QLineEdit::returnPressed, this, pressNext);
}

void HideWizard::FitListButtons(int pageWidth) {
    ArrangeButtonRows(m_listButtons, {btnAdd, btnDel, btnRemoveAll, btnOpen}, 4, pageWidth);
}

void HideWizard::Start() {
    SetWizardPage(0);
    cbbFiles->setEditText(QString());
    mmoMsg->clear();
    lvFiles->clear();
    LoadRecentImages();
    edtPass1->clear();
    edtPass2->clear();
    grpFormat->Reset();
    ShowCancelCaption();
    cbbFilesChange();
    pgcEncodeImageTabActive(0);
}

void HideWizard::ShowCancelCaption() {
    btnCencel1->setText(m_host.Message("strCancel"));
}

bool HideWizard::AtSavePage() const {
    return pgcEncodeImage->currentWidget() == tsSaveImg;
}

bool HideWizard::HasTypedWork() const {
    return !mmoMsg->toPlainText().isEmpty() || lvFiles->topLevelItemCount() > 0 ||
           !edtPass1->text().isEmpty() || !edtPass2->text().isEmpty();
}

void HideWizard::LoadRecentImages() {
    m_recentImages = ReadRecentImages();
    cbbFiles->clear();
    for (const QString& image : m_recentImages) {
        if (!image.isEmpty())
            cbbFiles->addItem(image);
    }
    cbbFiles->setEditText(m_recentImages.value(0));
    cbbFilesChange();
}

void HideWizard::SetWizardPage(int index) {
    pgcEncodeImage->setCurrentIndex(index);
}

void HideWizard::cbbFilesChange() {
    const QString path = cbbFiles->currentText();
    btnNext1->setEnabled(!path.isEmpty());
    if (!path.isEmpty())
        m_host.Window().ShowImage(path);
}

void HideWizard::btnSelImgClick() {
    const QString path =
        Dialogs().OpenPicture(window(), ToQtNameFilters(PictureFilter(QStringLiteral("All"))),
                              StartFolder(DialogFolder::WizardImage));
    RememberFolderOf(DialogFolder::WizardImage, path);
    ChooseImage(path);
}

void HideWizard::ChooseImage(const QString& path) {
    if (path.isEmpty())
        return;
    cbbFiles->setEditText(path);
    PutFirst(m_recentImages, path);
    cbbFilesChange();
}

void HideWizard::btnNext1Click() {
    const int last = pgcEncodeImage->count() - 1;
    if (pgcEncodeImage->currentWidget() == tsSelectImg) {
        const CoverVerdict cover =
            AskAboutCover(window(), cbbFiles->currentText(), m_host.MessageSource());
        if (cover == CoverVerdict::Refuse)
            return;
        m_checkCover = cover == CoverVerdict::Take;
        PutFirst(m_recentImages, cbbFiles->currentText());
        WriteRecentImages(m_recentImages);
    }
    if (pgcEncodeImage->currentWidget() == tsSetPass && !grpFormat->MayGoOn())
        return;
    if (pgcEncodeImage->currentIndex() < last)
        SetWizardPage(pgcEncodeImage->currentIndex() + 1);
    if (pgcEncodeImage->currentIndex() == last) {
        btnNext1->setEnabled(false);
        btnCencel1->setText(m_host.Message("strFinish"));
    }
}

void HideWizard::btnBack1Click() {
    if (pgcEncodeImage->currentIndex() > 0) {
        SetWizardPage(pgcEncodeImage->currentIndex() - 1);
        btnNext1->setEnabled(true);
        ShowCancelCaption();
        return;
    }
    if (m_host.ConfirmDiscard("strDiscard"))
        m_host.CloseFrame();
}

void HideWizard::edtPass1Change() {
    const QString password = edtPass1->text();
    const bool typed = !password.isEmpty();
    const bool match = typed && password == edtPass2->text();
    imgRight->setVisible(match);
    imgError->setVisible(typed && !match);
    lblPasswordError->setVisible(typed && !match);
    m_strength->Show(password, grpFormat->Chosen());
    // A woven picture is measured before the page may be left.
    btnNext1->setEnabled(match && grpFormat->Ready());
}

void HideWizard::FormatChanged() {
    // A measurement may end after the user left the page, where Next follows other rules.
    if (pgcEncodeImage->currentWidget() == tsSetPass)
        edtPass1Change();
}

uint64_t HideWizard::ContentBound() const {
    std::vector<ContentPart> files;
    for (int i = 0; i < lvFiles->topLevelItemCount(); ++i) {
        const QFileInfo file(RowName(lvFiles->topLevelItem(i)));
        files.push_back({file.fileName().toStdString(), static_cast<uint64_t>(file.size())});
    }
    return lumora::ContentBound(ToStoredMessage(mmoMsg->toPlainText()).size(), files);
}

void HideWizard::pgcEncodeImageTabActive(int index) {
    QWidget* page = pgcEncodeImage->widget(index);
    if (page == tsSelectImg) {
        FocusIfVisible(cbbFiles);
        cbbFiles->lineEdit()->selectAll();
    } else if (page == tsInputMsg) {
        FocusIfVisible(mmoMsg);
    } else if (page == tsInputFiles) {
        FocusIfVisible(lvFiles);
    } else if (page == tsSetPass) {
        grpFormat->SetContent(cbbFiles->currentText(), ContentBound());
        edtPass1Change();
        FocusIfVisible(edtPass1);
    } else if (page == tsSaveImg) {
        FocusIfVisible(btnSave);
    }
}

SaveOutcome HideWizard::SaveCarrier() {
    return m_host.GuardedSave([this] { return SaveCarrierUnguarded(); });
}

SaveOutcome HideWizard::SaveCarrierUnguarded() {
    const QString image = cbbFiles->currentText();
    if (image.isEmpty())
        return SaveOutcome::Cancelled;
    const QString target = m_host.AskSavePath(image);
    if (target.isEmpty())
        return SaveOutcome::Cancelled;
    if (const Status opened = m_host.Carrier().Open(image); !opened.Ok()) {
        m_host.ShowSaveFailure(opened);
        return SaveOutcome::Failed;
    }
    // Both fields agree on every way onto this page; an empty pair saves under the empty
    // password.
    QByteArray typed =
        (edtPass2->text() == edtPass1->text() ? edtPass2->text() : QString()).toUtf8();
    const Password password(std::string_view(typed.constData(), typed.size()));
    typed.fill('\0');
    SaveRequest request;
    request.destination = target.toStdString();
    request.message = ToStoredMessage(mmoMsg->toPlainText());
    request.newPassword = &password;
    request.checkCover = m_checkCover;
    request.format = grpFormat->Chosen();
    grpFormat->ApplyConsent(request);
    const SaveOutcome outcome = m_host.SaveFromList(request, lvFiles);
    if (outcome == SaveOutcome::Saved) {
        m_host.SetSaved(true);
        Dialogs().Information(window(), m_host.Message("strrAppName"),
                              m_host.MessageWith("strSavedAs", QDir::toNativeSeparators(target)));
    }
    return outcome;
}

} // namespace lumora
