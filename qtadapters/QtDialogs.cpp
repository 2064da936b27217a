// SPDX-License-Identifier: GPL-2.0-or-later
// The Qt implementation of the dialog seam: QMessageBox, QFileDialog and the desktop's
// open verb. The picture dialog is Qt's own file dialog with a preview pane.
#include "qtadapters/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace lumora {
namespace {

constexpr int kPreviewSide = 200;

// The pane beside the file list: the chosen picture scaled to fit, and its size.
PreviewDecoder& Decoder() {
    static PreviewDecoder decoder;
    return decoder;
}

class PicturePreviewPane : public QWidget {
public:
    explicit PicturePreviewPane(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("picturePreview"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(6, 0, 0, 0);
        m_picture = new QLabel(this);
        m_picture->setFixedSize(kPreviewSide, kPreviewSide);
        m_picture->setAlignment(Qt::AlignCenter);
        m_picture->setFrameShape(QFrame::StyledPanel);
        m_details = new QLabel(this);
        m_details->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_details->setWordWrap(true);
        layout->addWidget(m_picture);
        layout->addWidget(m_details);
        layout->addStretch();
    }

    void Show(const QString& path) {
        m_picture->clear();
        m_details->clear();
        if (!QFileInfo(path).isFile())
            return;
        // A picture larger than the pane comes scaled to fit it, less a border.
        const PreviewDecoder& decode = Decoder();
        QSize size;
        const QImage image =
            decode ? decode(path, QSize(kPreviewSide - 4, kPreviewSide - 4), size) : QImage();
        if (image.isNull())
            return;
        m_picture->setPixmap(QPixmap::fromImage(image));
        m_details->setText(QStringLiteral("%1 \u00D7 %2").arg(size.width()).arg(size.height()));
    }

private:
    QLabel* m_picture;
    QLabel* m_details;
};

// Message boxes are dialogs: a title and a close box, no minimise or maximise buttons,
// a fixed size, and kept above the window they belong to.
constexpr Qt::WindowFlags kMessageBoxFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                             Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                             Qt::WindowCloseButtonHint;

// The window a box belongs to: the owner's, else the active one, else the program's
// visible main window (an error caught while no window of the program is active).
QWidget* BoxOwner(QWidget* owner) {
    if (owner != nullptr)
        return owner->window();
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowType() == Qt::Window)
            return top;
    }
    return nullptr;
}

QMessageBox::StandardButton ShowBox(QMessageBox::Icon icon, QWidget* owner, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, BoxOwner(owner), kMessageBoxFlags);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

Answer ToAnswer(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        return Answer::Cancel;
    }
}

class QtDialogs : public IDialogs {
public:
    void Error(QWidget* owner, const QString& title, const QString& text) override {
        ShowBox(QMessageBox::Critical, owner, title, text, QMessageBox::Ok);
    }
    void Information(QWidget* owner, const QString& title, const QString& text) override {
        ShowBox(QMessageBox::Information, owner, title, text, QMessageBox::Ok);
    }
    Answer QuestionYesNo(QWidget* owner, const QString& title, const QString& text) override {
        return ToAnswer(
            ShowBox(QMessageBox::Question, owner, title, text, QMessageBox::Yes | QMessageBox::No));
    }
    Answer QuestionYesNoCancel(QWidget* owner, const QString& title, const QString& text) override {
        return ToAnswer(ShowBox(QMessageBox::Question, owner, title, text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
    }
    int QuestionChoice(QWidget* owner, const QString& title, const QString& text,
                       const QStringList& choices, const QString& cancelCaption) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, BoxOwner(owner),
                        kMessageBoxFlags);
        QList<QAbstractButton*> buttons;
        for (const QString& caption : choices)
            buttons.append(box.addButton(caption, QMessageBox::AcceptRole));
        box.setEscapeButton(box.addButton(cancelCaption, QMessageBox::RejectRole));
        if (!buttons.isEmpty())
            box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
        box.exec();
        return static_cast<int>(buttons.indexOf(box.clickedButton()));
    }

    QString OpenPicture(QWidget* owner, const QStringList& filters,
                        const QString& startFolder) override {
        QFileDialog dialog(owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(filters);
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.first());
        if (!startFolder.isEmpty())
            dialog.setDirectory(startFolder);

        auto* preview = new PicturePreviewPane(&dialog);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
        // Room for the file list beside the pane.
        dialog.resize(dialog.sizeHint().expandedTo(QSize(880, 480)));
        QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                         [preview](const QString& path) { preview->Show(path); });

        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }

    QStringList OpenFiles(QWidget* owner, const QString& filter,
                          const QString& startFolder) override {
        return QFileDialog::getOpenFileNames(owner, QString(), startFolder, filter);
    }

    QString SaveFile(QWidget* owner, const SaveFileRequest& request) override {
        QFileDialog dialog(owner, request.title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.filter.isEmpty())
            dialog.setNameFilter(request.filter);
        if (!request.defaultSuffix.isEmpty())
            dialog.setDefaultSuffix(request.defaultSuffix);
        if (!request.startFolder.isEmpty())
            dialog.setDirectory(request.startFolder);
        if (!request.proposedName.isEmpty())
            dialog.selectFile(request.proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }

    QString BrowseForFolder(QWidget* owner, const QString& title,
                            const QString& startFolder) override {
        return QFileDialog::getExistingDirectory(owner, title, startFolder);
    }

    int Exec(QDialog* dialog) override { return dialog->exec(); }

    bool OpenWithDesktop(const QString& pathOrUrl) override {
        const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl)
                                                      : QUrl::fromUserInput(pathOrUrl);
        return url.isValid() && QDesktopServices::openUrl(url);
    }
};

IDialogs*& Installed() {
    static IDialogs* installed = nullptr;
    return installed;
}

} // namespace

IDialogs& Dialogs() {
    static QtDialogs qtDialogs;
    IDialogs* installed = Installed();
    return installed != nullptr ? *installed : qtDialogs;
}

void SetDialogs(IDialogs* dialogs) {
    Installed() = dialogs;
}

void SetPreviewDecoder(PreviewDecoder decode) {
    Decoder() = std::move(decode);
}

} // namespace lumora
