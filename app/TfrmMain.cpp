// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/TfrmMain.h"

#include "app/EnterPressesButton.h"
#include "app/LanguageChoice.h"
#include "app/PicturePanel.h"
#include "app/PicturePart.h"
#include "app/PreviewFit.h"
#include "app/SessionEnd.h"
#include "app/TfrmAbout.h"
#include "engine/ClassicData.h"
#include "language/TMLang.h"
#include "platform/ProgramFolders.h"
#include "qtadapters/Dialogs.h"
#include "qtadapters/MessageFormat.h"
#include "qtadapters/NameFilters.h"
#include "qtadapters/PictureLoader.h"
#include "text/FormatFileSize.h"
#include "workflow/DialogFolders.h"
#include "workflow/FileDropTarget.h"
#include "workflow/TframeMsg.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

namespace lumora {
namespace {

const QColor kMaroon(0x80, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kSloganBlue(0x5A, 0x6B, 0x94);

// The frame panel of the preview; a picture larger than this is scaled down.
const QSize kPreviewFrame(265, 233);
// How many times the screen's pixels of the frame a preview is asked for (see ShowImage).
constexpr int kPreviewDetail = 4;

const QRect kFrameMsgPlace(325, 60, 408, 450);
constexpr int kHelpBarMargin = 20;
constexpr int kFileNameGap = 5;
constexpr int kFileNamePointSize = 12;

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void SetUnderline(QLabel* label, bool underline) {
    QFont font = label->font();
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(underline);
    label->setFont(font);
}

QLabel* NewInfoLine(const char* name, QWidget* parent, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->move(16, top);
    SetTextColour(label, Qt::black);
    return label;
}

QLineEdit* NewReadOnlyField(const char* name, QWidget* parent, const QRect& place) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(place);
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFocusPolicy(Qt::ClickFocus);
    QFont font = edit->font();
    font.setBold(true);
    edit->setFont(font);
    return edit;
}

QPushButton* NewPictureButton(const char* name, const QString& text, QWidget* parent,
                              QPoint place) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(QRect(place, QSize(200, 30)));
    button->setCursor(Qt::PointingHandCursor);
    SetTextColour(button, kMaroon);
    return button;
}

QLabel* NewStartLabel(const char* name, const QString& text, QWidget* parent, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(32, top, 361, 41);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setCursor(Qt::PointingHandCursor);
    SetTextColour(label, kBlue);
    return label;
}

} // namespace

const QString TfrmMain::kPictureFilter = PictureFilter(QStringLiteral("All Image"));

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_help(QString::fromStdString(ExecutableFolder())) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Lumora"));
    setFixedSize(750, 516);
    new EnterPressesButton(this);
    BuildControls();
    ConfigureLang();
    FormCreate();
    FormResize();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildControls() {
    imgBack = new QLabel(this);
    imgBack->setObjectName(QStringLiteral("imgBack"));
    imgBack->setGeometry(0, 0, 750, 516);
    // Through QIcon, which picks the "@2x" picture on high-density screens.
    imgBack->setPixmap(QIcon(QStringLiteral(":/theme/background.png"))
                           .pixmap(imgBack->size(), devicePixelRatioF()));
    WatchMouse(imgBack);
    // The slogan under the word mark of the background picture, in the user's language.
    lblSlogan = new QLabel(QStringLiteral("messages and files behind a picture"), this);
    lblSlogan->setObjectName(QStringLiteral("lblSlogan"));
    lblSlogan->setGeometry(71, 477, 215, 30);
    lblSlogan->setWordWrap(true);
    lblSlogan->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetTextColour(lblSlogan, kSloganBlue);

    pnlImage = new QWidget(this);
    pnlImage->setObjectName(QStringLiteral("pnlImage"));
    pnlImage->setGeometry(QRect(QPoint(16, 16), kPreviewFrame));
    pnlImage->setAttribute(Qt::WA_StyledBackground);
    pnlShowImage = new PicturePanel(pnlImage);
    pnlShowImage->setObjectName(QStringLiteral("pnlShowImage"));
    pnlShowImage->setGeometry(64, 24, 140, 160);

    BuildInfoPanel();

    edtFileName = NewReadOnlyField("edtFileName", this, QRect(336, 24, 313, 25));
    QPalette palette = edtFileName->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, kMaroon);
    edtFileName->setPalette(palette);

    BuildHelpButton();
    BuildStartPanel();

    frameMsg = new TframeMsg(this, this);
    frameMsg->setObjectName(QStringLiteral("frameMsg"));
    frameMsg->setGeometry(kFrameMsgPlace);
    frameMsg->hide();
    m_sessionEnd = new SessionEnd(*frameMsg);

    pmHelp = new QMenu(this);
    pmHelp->setObjectName(QStringLiteral("pmHelp"));
    mniHelp = new QAction(QStringLiteral("Help ..."), pmHelp);
    mniHelp->setObjectName(QStringLiteral("mniHelp"));
    mniAbout = new QAction(QStringLiteral("About ..."), pmHelp);
    mniAbout->setObjectName(QStringLiteral("mniAbout"));
    pmHelp->addAction(mniHelp);
    pmHelp->addAction(mniAbout);
    pmHelp->addSeparator();
    pmLanguage = new QMenu(QStringLiteral("Language"), pmHelp);
    pmLanguage->setObjectName(QStringLiteral("mniLanguage"));
    pmHelp->addMenu(pmLanguage);
    mniSystemLanguage = pmLanguage->addAction(QStringLiteral("System Language"));
    mniSystemLanguage->setObjectName(QStringLiteral("mniSystemLanguage"));
    mniSystemLanguage->setCheckable(true);
    btnHelp->setMenu(pmHelp);
    connect(mniHelp, &QAction::triggered, this, &TfrmMain::mniHelpClick);
    connect(mniAbout, &QAction::triggered, this, &TfrmMain::mniAboutClick);
    connect(mniSystemLanguage, &QAction::triggered, this, [this] { mniLanguageClick(QString()); });
    connect(pmLanguage, &QMenu::aboutToShow, this, &TfrmMain::pmLanguagePopup);
}

void TfrmMain::BuildInfoPanel() {
    grpBoxInfo = new QGroupBox(QStringLiteral("Image Informations"), this);
    grpBoxInfo->setObjectName(QStringLiteral("grpBoxInfo"));
    grpBoxInfo->setGeometry(16, 256, 265, 161);
    WatchMouse(grpBoxInfo);

    edtFilePath = NewReadOnlyField("edtFilePath", grpBoxInfo, QRect(16, 24, 241, 17));
    SetTextColour(edtFilePath, Qt::black);
    edtFilePath->setStyleSheet(QStringLiteral("background: transparent;"));
    edtFilePath->installEventFilter(this);

    lblFileSize = NewInfoLine("lblFileSize", grpBoxInfo, 46);
    lblImgSize = NewInfoLine("lblImgSize", grpBoxInfo, 69);
    lblTextMsg = NewInfoLine("lblTextMsg", grpBoxInfo, 91);
    lblHideFiles = NewInfoLine("lblHideFiles", grpBoxInfo, 114);
    lblHideFilesSize = NewInfoLine("lblHideFilesSize", grpBoxInfo, 136);
    for (QLabel* link : {lblTextMsg, lblHideFiles, lblHideFilesSize})
        link->installEventFilter(this);
}

void TfrmMain::BuildHelpButton() {
    tlbHelp = new QToolBar(this);
    tlbHelp->setObjectName(QStringLiteral("tlbHelp"));
    tlbHelp->setMovable(false);
    tlbHelp->setFloatable(false);
    tlbHelp->setIconSize(QSize(24, 24));
    tlbHelp->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbHelp->move(672, 13);

    btnHelp = new QToolButton(tlbHelp);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setText(QStringLiteral("&Help"));
    btnHelp->setIcon(QIcon(QStringLiteral(":/theme/help.png")));
    btnHelp->setIconSize(QSize(24, 24));
    btnHelp->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnHelp->setPopupMode(QToolButton::MenuButtonPopup);
    btnHelp->setAutoRaise(true);
    btnHelp->setMinimumSize(35, 44);
    btnHelp->setCursor(Qt::PointingHandCursor);
    tlbHelp->addWidget(btnHelp);
    connect(btnHelp, &QToolButton::clicked, this, &TfrmMain::btnHelpClick);
}

void TfrmMain::BuildStartPanel() {
    pnlMain = new QWidget(this);
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setGeometry(336, 72, 393, 369);
    WatchMouse(pnlMain);

    lblUnHide = NewStartLabel("lblUnHide",
                              QStringLiteral("Load text messages and files from the present image "
                                             "that have hidden text messages and files ."),
                              pnlMain, 180);
    lblHide = NewStartLabel(
        "lblHide", QStringLiteral("Hide text messages and files into an image."), pnlMain, 72);
    btnUnHide =
        NewPictureButton("btnUnHide", QStringLiteral("&Load Data from Image"), pnlMain, {32, 144});
    btnHide =
        NewPictureButton("btnHide", QStringLiteral("Hide &Data into Image"), pnlMain, {33, 32});
    for (QLabel* label : {lblHide, lblUnHide})
        label->installEventFilter(this);
    connect(btnHide, &QPushButton::clicked, this, &TfrmMain::btnHideClick);
    connect(btnUnHide, &QPushButton::clicked, this, &TfrmMain::btnUnHideClick);
    // An image dropped on the start panel opens as one named on the command line.
    new FileDropTarget({pnlMain}, [this](const QStringList& paths) { OpenPicture(paths.first()); });
}

void TfrmMain::ConfigureLang() {
    MLang = CreateWindowLang(this, QStringLiteral("TfrmMain"));
    MLang->SetIgnoreControls({QStringLiteral("lblHideFiles"), QStringLiteral("lblHideFilesSize"),
                              QStringLiteral("lblTextMsg"), QStringLiteral("lblImgSize"),
                              QStringLiteral("lblFileSize"), QStringLiteral("edtFileName"),
                              QStringLiteral("edtFilePath"), QStringLiteral("tlbHelp")});
    MLang->SetSaveFontSizeCtrls({});
    MLang->SetIgnoreFormCaption(false);
    MLang->SetIncludeListViewItems(true);
    MLang->SetIncludeListViewHead(true);
    MLang->SetIncludeTreeViewItems(true);
    MLang->SetStrList({
        QStringLiteral("strFileSize=Image File Size: %s"),
        QStringLiteral("strImgSize=Image Part Size: %s"),
        QStringLiteral("strTextMsgSize=Hidden Text Messages Size: %s"),
        QStringLiteral("strHideFilesNum=Hidden Files Number: %d"),
        QStringLiteral("strHideFilesSize=Hidden Files Total Size: %s"),
        QStringLiteral("strLanguageNextStart=Lumora will use the chosen language the next "
                       "time it starts."),
        QStringLiteral("strPictureNotOpened=%s cannot be opened. Please check that the file "
                       "exists and that you may read it."),
        QStringLiteral("strOpenWhich=%s holds no hidden data that shows without a password. "
                       "Yes: reveal data hidden in it under a password. No: hide data into it."),
    });
    MLang->SetActiveNow(true);
}

void TfrmMain::FormCreate() {
    // Both start buttons take their face from the style sheet's one picture.
    ShowImage(QString());
    QFont font = edtFileName->font();
    font.setPointSize(kFileNamePointSize);
    edtFileName->setFont(font);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Typed work is not thrown away without a question, unless the session is ending and
    // has had its answer. The open carrier's working folder, with its decrypted copies,
    // goes with the window; beneath a running operation or dialog, once the program's
    // loops have unwound.
    if (!m_sessionEnd->ClosePending() && !frameMsg->MayClose()) {
        event->ignore();
        return;
    }
    if (FrameIsIdle())
        frameMsg->ReleaseEngine();
    QWidget::closeEvent(event);
}

void TfrmMain::FormResize() {
    // The frame is only put away while the start panel is in use: hiding it in the middle
    // of a wizard or a reveal would leave the right-hand side empty.
    frameMsg->setGeometry(kFrameMsgPlace);
    if (!pnlMain->isHidden())
        frameMsg->hide();
    tlbHelp->adjustSize();
    tlbHelp->move(width() - tlbHelp->width() - kHelpBarMargin, tlbHelp->y());
    edtFileName->resize(tlbHelp->x() - edtFileName->x() - kFileNameGap, edtFileName->height());
}

void TfrmMain::ShowImage(const QString& path) {
    const QFileInfo info(path);
    edtFileName->setText(path.isEmpty() ? QString() : info.fileName());
    edtFilePath->setText(path);
    edtFileName->setCursorPosition(0);
    edtFilePath->setCursorPosition(0);

    ShowImageInfo(CarrierTrailer{});

    if (path.isEmpty() || !info.isFile()) {
        pnlShowImage->ClearPicture();
        return;
    }
    ShowFileSizes(path, info.size());
    pnlShowImage->hide();
    // The panel scales the preview once, to the pixels it covers on the screen. It comes
    // whole when it is small, else at kPreviewDetail times those pixels: a second scaling
    // from so much larger a picture looks as sharp as one from the full picture, and a
    // large JPEG is decoded at a fraction of its size. It is placed by the picture's own
    // size.
    const QSize bound = (QSizeF(pnlImage->size()) * devicePixelRatioF() * kPreviewDetail).toSize();
    const PicturePreview picture = LoadPreview(path, bound, kPreviewTimeoutMs, PicturePartSize);
    pnlShowImage->SetPicture(picture.image);
    if (picture.image.isNull())
        return;
    const PreviewPlacement placement = FitPreview(picture.size, pnlImage->size());
    pnlShowImage->SetStretch(placement.stretch);
    pnlShowImage->setGeometry(placement.rect);
    pnlShowImage->show();
}

void TfrmMain::ShowImageInfo(const CarrierTrailer& trailer) {
    // The trailer's own 60 bytes are not counted in the file size.
    SetInfoLine(lblFileSize, "strFileSize",
                SizeText(int64_t(trailer.payloadLength) + int64_t(trailer.imageLength)));
    SetInfoLine(lblImgSize, "strImgSize", SizeText(trailer.imageLength));
    SetInfoLine(lblTextMsg, "strTextMsgSize", SizeText(trailer.messageLength));
    SetInfoLine(lblHideFiles, "strHideFilesNum", QString::number(trailer.fileCount));
    SetInfoLine(lblHideFilesSize, "strHideFilesSize", SizeText(trailer.filesTotalSize));
    SetLinksActive(trailer.payloadLength != 0);
}

void TfrmMain::ShowFileSizes(const QString& path, int64_t fileSize) {
    // What anyone can see of the file: its size and that of its image part, which is all
    // of it unless a carrier's trailer says otherwise. The rest needs the password.
    int64_t shownSize = fileSize;
    int64_t imagePart = fileSize;
    if (const std::optional<CarrierTrailer> trailer = ClassicTrailerOf(path.toStdString())) {
        shownSize = int64_t(trailer->payloadLength) + int64_t(trailer->imageLength);
        imagePart = trailer->imageLength;
    }
    SetInfoLine(lblFileSize, "strFileSize", SizeText(shownSize));
    SetInfoLine(lblImgSize, "strImgSize", SizeText(imagePart));
}

QString TfrmMain::SizeText(int64_t bytes) const {
    return QString::fromStdString(FormatFileSize(bytes, frameMsg->ByteWord().toStdString()));
}

void TfrmMain::SetInfoLine(QLabel* label, const char* key, const QString& value) {
    label->setText(FormatMessage(MLang->GetResString(QLatin1String(key)), value));
    label->adjustSize();
}

void TfrmMain::SetLinksActive(bool active) {
    m_linksActive = active;
    for (QLabel* link : {lblTextMsg, lblHideFiles, lblHideFilesSize}) {
        SetTextColour(link, active ? kBlue : QColor(Qt::black));
        if (active)
            link->setCursor(Qt::PointingHandCursor);
        else
            link->unsetCursor();
        SetUnderline(link, false);
    }
}

void TfrmMain::ShowMainPanel(bool visible) {
    pnlMain->setVisible(visible);
    pnlMain->setEnabled(visible);
    btnHide->setEnabled(visible);
    btnUnHide->setEnabled(visible);
}

void TfrmMain::WatchMouse(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint()))
            return HandleMouse(watched, true);
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == edtFilePath) {
            edtFilePathDblClick();
            return true;
        }
        break;
    case QEvent::Enter:
    case QEvent::MouseMove:
        HandleMouse(watched, false);
        break;
    case QEvent::Leave:
        // The pointer may leave a link onto a widget that resets nothing (the preview).
        // Leaving one clears them all; a link entered next underlines itself again.
        for (const QLabel* link : {lblHide, lblUnHide, lblTextMsg, lblHideFiles, lblHideFilesSize})
            if (watched == link)
                imgBackMouseMove();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// What the watched widgets do when clicked and when the mouse moves over them; the links
// of the information panel answer only while they are active.
bool TfrmMain::HandleMouse(QObject* watched, bool click) {
    using Handler = void (TfrmMain::*)();
    const struct {
        QObject* widget;
        Handler clicked;
        Handler hovered;
        bool link;
    } targets[] = {
        {imgBack, nullptr, &TfrmMain::imgBackMouseMove, false},
        {pnlMain, nullptr, &TfrmMain::pnlMainMouseMove, false},
        {grpBoxInfo, nullptr, &TfrmMain::grpBoxInfoMouseMove, false},
        {lblHide, &TfrmMain::lblHideClick, &TfrmMain::lblHideMouseMove, false},
        {lblUnHide, &TfrmMain::lblUnHideClick, &TfrmMain::lblUnHideMouseMove, false},
        {lblTextMsg, &TfrmMain::lblTextMsgClick, &TfrmMain::lblTextMsgMouseMove, true},
        {lblHideFiles, &TfrmMain::lblHideFilesClick, &TfrmMain::lblHideFilesMouseMove, true},
        {lblHideFilesSize, &TfrmMain::lblHideFilesSizeClick, &TfrmMain::lblHideFilesSizeMouseMove,
         true},
    };
    for (const auto& target : targets) {
        const Handler handler = click ? target.clicked : target.hovered;
        if (target.widget == watched && handler != nullptr && (m_linksActive || !target.link)) {
            (this->*handler)();
            return true;
        }
    }
    return false;
}

void TfrmMain::btnHideClick() {
    ShowMainPanel(false);
    frameMsg->ShowHideWizard();
}

void TfrmMain::lblHideClick() {
    btnHideClick();
}

void TfrmMain::btnUnHideClick() {
    const QString path = Dialogs().OpenPicture(this, ToQtNameFilters(kPictureFilter),
                                               StartFolder(DialogFolder::LoadImage));
    if (path.isEmpty())
        return;
    RememberFolderOf(DialogFolder::LoadImage, path);
    if (frameMsg->LoadFromImage(path, QString()) == 1)
        ShowMainPanel(false);
}

void TfrmMain::OpenPicture(const QString& path) {
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    // Neither hiding into it nor revealing from it could start: the user is told, and the
    // start panel stays. Only a regular file is opened, which cannot block the open.
    QFile file(fullPath);
    if (!QFileInfo(fullPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        Dialogs().Error(
            this, frameMsg->Lang()->GetResString(QStringLiteral("strError")),
            FormatMessage(MLang->GetResString(QStringLiteral("strPictureNotOpened")), path));
        ShowMainPanel(true);
        return;
    }
    file.close();
    bool reveal = ClassicTrailerOf(fullPath.toStdString()).has_value();
    if (!reveal) {
        // The user sees the picture the question is about.
        ShowImage(fullPath);
        const QString question = FormatMessage(MLang->GetResString(QStringLiteral("strOpenWhich")),
                                               QFileInfo(fullPath).fileName());
        const Answer answer = Dialogs().QuestionYesNoCancel(this, windowTitle(), question);
        if (answer == Answer::Cancel)
            return;
        reveal = answer == Answer::Yes;
    }
    if (reveal) {
        if (frameMsg->LoadFromImage(fullPath, QString()) == 1)
            ShowMainPanel(false);
        return;
    }
    ShowMainPanel(false);
    frameMsg->ShowHideWizard(fullPath);
}

void TfrmMain::lblUnHideClick() {
    btnUnHideClick();
}

void TfrmMain::lblTextMsgClick() {
    frameMsg->ShowMessagePage();
}

void TfrmMain::lblHideFilesClick() {
    frameMsg->ShowFilesPage();
}

void TfrmMain::lblHideFilesSizeClick() {
    frameMsg->ShowFilesPage();
}

void TfrmMain::edtFilePathDblClick() {
    edtFilePath->selectAll();
}

void TfrmMain::btnHelpClick() {
    btnHelp->showMenu();
}

void TfrmMain::mniHelpClick() {
    // Without help there is nothing to show and nothing to say: the menu item stays quiet.
    static_cast<void>(m_help.Open());
}

void TfrmMain::mniAboutClick() {
    if (m_about != nullptr)
        Dialogs().Exec(m_about);
}

void TfrmMain::pmLanguagePopup() {
    // The entries after "System Language" are the language files there are now.
    const QList<QAction*> previous = pmLanguage->actions().mid(1);
    qDeleteAll(previous);
    const QString chosen = ChosenLanguageFile();
    mniSystemLanguage->setChecked(chosen.isEmpty());
    for (const LanguageFile& file : AvailableLanguages()) {
        QAction* entry = pmLanguage->addAction(file.name);
        entry->setCheckable(true);
        entry->setChecked(file.fileName == chosen);
        connect(entry, &QAction::triggered, this,
                [this, fileName = file.fileName] { mniLanguageClick(fileName); });
    }
}

void TfrmMain::mniLanguageClick(const QString& fileName) {
    ChooseLanguageFile(fileName);
    if (PickLanguageFile() != CurrentLanguageFile())
        Dialogs().Information(this, windowTitle(),
                              MLang->GetResString(QStringLiteral("strLanguageNextStart")));
}

void TfrmMain::imgBackMouseMove() {
    for (QLabel* label : {lblUnHide, lblHide, lblHideFiles, lblHideFilesSize, lblTextMsg})
        SetUnderline(label, false);
}

void TfrmMain::pnlMainMouseMove() {
    imgBackMouseMove();
}

void TfrmMain::grpBoxInfoMouseMove() {
    for (QLabel* label : {lblHideFilesSize, lblHideFiles, lblTextMsg})
        SetUnderline(label, false);
}

void TfrmMain::lblHideMouseMove() {
    SetUnderline(lblHide, true);
}

void TfrmMain::lblUnHideMouseMove() {
    SetUnderline(lblUnHide, true);
}

void TfrmMain::lblTextMsgMouseMove() {
    SetUnderline(lblTextMsg, true);
}

void TfrmMain::lblHideFilesMouseMove() {
    SetUnderline(lblHideFiles, true);
    SetUnderline(lblHideFilesSize, true);
}

void TfrmMain::lblHideFilesSizeMouseMove() {
    lblHideFilesMouseMove();
}

} // namespace lumora
