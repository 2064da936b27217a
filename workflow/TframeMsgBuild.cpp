// SPDX-License-Identifier: GPL-2.0-or-later
// Building the frame's widgets: the two panels, their pages, the file lists and their
// popup menu. Every widget carries its component name as objectName, which is also how
// the language component finds its texts.
#include "workflow/TframeMsg.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>

namespace lumora {
namespace {

template <typename W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = Named(new QLabel(text, parent), name);
    label->setWordWrap(true);
    return label;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = Named(new QPushButton(text, parent), name);
    button->setAutoDefault(false);
    return button;
}

QFrame* NewSeparator(QWidget* parent, const char* name) {
    auto* line = Named(new QFrame(parent), name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(1);
    return line;
}

QPlainTextEdit* NewMemo(QWidget* parent, const char* name) {
    auto* memo = Named(new QPlainTextEdit(parent), name);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return memo;
}

QLabel* NewMark(QWidget* parent, const char* name, const QString& picture,
                const QString& fallback) {
    auto* mark = Named(new QLabel(parent), name);
    const QPixmap pixmap(picture);
    if (pixmap.isNull())
        mark->setText(fallback);
    else
        mark->setPixmap(pixmap);
    mark->setFixedSize(16, 16);
    mark->hide();
    return mark;
}

constexpr int kPageMargin = 8;
constexpr int kButtonSpacing = 6;

QGridLayout* NewButtonGrid() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(kButtonSpacing);
    grid->setVerticalSpacing(kButtonSpacing);
    return grid;
}

// Puts buttons into a grid in rows of at most maxPerRow, fewer when their captions would
// not fit the width side by side (a column is as wide as its widest button), so that no
// caption is cut whatever the language.
void ArrangeButtonRows(QGridLayout* grid, const QList<QPushButton*>& buttons, int maxPerRow,
                       int width) {
    int perRow = std::max(1, maxPerRow);
    for (; perRow > 1; --perRow) {
        int total = kButtonSpacing * (perRow - 1);
        for (int column = 0; column < perRow; ++column) {
            int widest = 0;
            for (qsizetype i = column; i < buttons.size(); i += perRow)
                widest = std::max(widest, buttons[i]->sizeHint().width());
            total += widest;
        }
        if (total <= width)
            break;
    }
    for (QPushButton* button : buttons)
        grid->removeWidget(button);
    for (int i = 0; i < int(buttons.size()); ++i)
        grid->addWidget(buttons[i], i / perRow, i % perRow);
}

QVBoxLayout* PageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->setSpacing(kPageMargin);
    return layout;
}

// Presses a cancel button on Esc while the panel has the focus and the button is usable.
// The key is taken as it bubbles up from the focused control, as a dialog takes it, not as
// a shortcut: a popup opened from the panel (a combo box's list) sees Esc first and only
// closes itself.
class EscapePressesButton : public QObject {
public:
    EscapePressesButton(QWidget* panel, QPushButton* button) : QObject(panel), m_button(button) {
        panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
            return QObject::eventFilter(watched, event);
        if (m_button->isVisible() && m_button->isEnabled())
            m_button->click();
        event->accept();
        return true;
    }

private:
    QPushButton* m_button;
};

void BindEscape(QWidget* panel, QPushButton* button) {
    new EscapePressesButton(panel, button);
}

} // namespace

QTreeWidget* TframeMsg::NewFileList(const char* name) {
    auto* list = Named(new QTreeWidget, name);
    list->setColumnCount(3);
    list->setHeaderLabels({QString(), QStringLiteral("File Name"), QStringLiteral("File Size")});
    list->setRootIsDecorated(false); // a flat list, translated as a list view
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setTextElideMode(Qt::ElideMiddle); // keeps the file name of a long path in view
    list->setColumnWidth(0, 40);
    list->setColumnWidth(1, 193);
    // Wide enough for the longest size text, "1000.00 MB", in the list's font.
    const int sizeWidth = list->fontMetrics().horizontalAdvance(QStringLiteral("1000.00 MB")) + 12;
    list->setColumnWidth(2, std::max(60, sizeWidth));
    return list;
}

void TframeMsg::BuildWizardPanel() {
    pnlEnCodeImage = Named(new QFrame(this), "pnlEnCodeImage");
    pgcEncodeImage = Named(new QStackedWidget(pnlEnCodeImage), "pgcEncodeImage");

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
    m_wizardListButtons = NewButtonGrid();
    filesLayout->addWidget(lbl3);
    filesLayout->addWidget(lvFiles, 1);
    filesLayout->addLayout(m_wizardListButtons);

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
    passGrid->setColumnMinimumWidth(2, 16);
    passGrid->setColumnMinimumWidth(3, 16);
    passLayout->addWidget(lbl4);
    passLayout->addSpacing(12);
    passLayout->addLayout(passGrid);
    passLayout->addWidget(lblPasswordError);
    grpFormat =
        Named(new QGroupBox(QStringLiteral("Format of the hidden data"), tsSetPass), "grpFormat");
    rbClassic = Named(new QRadioButton(QStringLiteral("C&lassic"), grpFormat), "rbClassic");
    rbSealed = Named(new QRadioButton(QStringLiteral("S&ealed"), grpFormat), "rbSealed");
    lblClassic = NewLabel(grpFormat, "lblClassic",
                          QStringLiteral("Other programs that read this format can open it. "
                                         "A short password is guessed quickly."));
    lblSealed = NewLabel(grpFormat, "lblSealed",
                         QStringLiteral("Strong against password guessing, and nothing shows "
                                        "that Lumora made it. Opens only in Lumora."));
    rbClassic->setChecked(true);
    auto* formatLayout = new QGridLayout(grpFormat);
    formatLayout->setVerticalSpacing(2);
    formatLayout->addWidget(rbClassic, 0, 0, 1, 2);
    formatLayout->addWidget(lblClassic, 1, 1);
    formatLayout->setRowMinimumHeight(2, kPageMargin);
    formatLayout->addWidget(rbSealed, 3, 0, 1, 2);
    formatLayout->addWidget(lblSealed, 4, 1);
    // The descriptions line up with the captions, past the radio buttons' circles.
    formatLayout->setColumnMinimumWidth(0, 16);
    formatLayout->setColumnStretch(1, 1);
    passLayout->addSpacing(12);
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

    shp1 = NewSeparator(pnlEnCodeImage, "shp1");
    btnBack1 = NewButton(pnlEnCodeImage, "btnBack1", QStringLiteral("< &Back"));
    btnNext1 = NewButton(pnlEnCodeImage, "btnNext1", QStringLiteral("&Next >"));
    btnCencel1 = NewButton(pnlEnCodeImage, "btnCencel1", QStringLiteral("&Cancel"));
    auto* stepButtons = new QHBoxLayout;
    stepButtons->addStretch(1);
    for (QPushButton* button : {btnBack1, btnNext1, btnCencel1})
        stepButtons->addWidget(button);

    auto* panelLayout = new QVBoxLayout(pnlEnCodeImage);
    panelLayout->setContentsMargins(0, 0, 0, 8);
    panelLayout->addWidget(pgcEncodeImage, 1);
    panelLayout->addWidget(shp1);
    panelLayout->addLayout(stepButtons);
    BindEscape(pnlEnCodeImage, btnCencel1);
}

void TframeMsg::BuildRevealPanel() {
    pnlDecodeImage = Named(new QFrame(this), "pnlDecodeImage");
    pgcDecodeImage = Named(new QTabWidget(pnlDecodeImage), "pgcDecodeImage");

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
    m_revealListButtons = NewButtonGrid();
    filesLayout->addWidget(lbl6);
    filesLayout->addWidget(lvDeFiles, 1);
    filesLayout->addLayout(m_revealListButtons);

    pgcDecodeImage->addTab(tsOutputMsg, QStringLiteral("Hidden &Text Messages In Image"));
    pgcDecodeImage->addTab(tsOutputFiles, QStringLiteral("Hidden &Files In Image"));

    shp2 = NewSeparator(pnlDecodeImage, "shp2");
    btnDeSave = NewButton(pnlDecodeImage, "btnDeSave", QStringLiteral("&Save Image"));
    btnDeSaveAs = NewButton(pnlDecodeImage, "btnDeSaveAs", QStringLiteral("Sa&ve Image As"));
    btnDeCancel = NewButton(pnlDecodeImage, "btnDeCancel", QStringLiteral("&Cancel"));
    auto* saveButtons = new QHBoxLayout;
    saveButtons->addStretch(1);
    for (QPushButton* button : {btnDeSave, btnDeSaveAs, btnDeCancel})
        saveButtons->addWidget(button);

    auto* panelLayout = new QVBoxLayout(pnlDecodeImage);
    panelLayout->setContentsMargins(0, 0, 0, 8);
    panelLayout->addWidget(pgcDecodeImage, 1);
    panelLayout->addWidget(shp2);
    panelLayout->addLayout(saveButtons);
    BindEscape(pnlDecodeImage, btnDeCancel);
}

void TframeMsg::FitButtonRows() {
    const int pageWidth = width() - 2 * kPageMargin;
    ArrangeButtonRows(m_wizardListButtons, {btnAdd, btnDel, btnRemoveAll, btnOpen}, 4, pageWidth);
    // The tab widget's frame takes a little of the reveal view's width.
    const int tabFrame = 2 * pgcDecodeImage->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                  nullptr, pgcDecodeImage);
    ArrangeButtonRows(m_revealListButtons,
                      {btnDeAdd, btnDeDel, btnDeRemoveAll, btnDeOpen, btnDeSaveFilesAs}, 3,
                      pageWidth - tabFrame);
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

} // namespace lumora
