// SPDX-License-Identifier: GPL-2.0-or-later
// The one seam through which every window shows message boxes, file and folder dialogs,
// modal dialogs of its own and the desktop's open verb. The program installs the Qt
// implementation; tests install ScriptedDialogs and answer everything in advance.
#pragma once

#include <functional>

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace lumora {

enum class Answer { Ok, Cancel, Yes, No };

struct SaveFileRequest {
    QString title;
    QString proposedName;  // file name offered in the dialog
    QString startFolder;   // folder the dialog opens in; empty keeps the last one
    QString defaultSuffix; // added when the user types no extension (without the dot)
    QString filter;        // Qt filter text, for example "*.* (*)"
};

class IDialogs {
public:
    virtual ~IDialogs() = default;

    // Message boxes: error (OK, error icon), information (OK), questions.
    virtual void Error(QWidget* owner, const QString& title, const QString& text) = 0;
    virtual void Information(QWidget* owner, const QString& title, const QString& text) = 0;
    [[nodiscard]] virtual Answer QuestionYesNo(QWidget* owner, const QString& title,
                                               const QString& text) = 0;
    [[nodiscard]] virtual Answer QuestionYesNoCancel(QWidget* owner, const QString& title,
                                                     const QString& text) = 0;
    // A question answered by one of choices (button captions, the first the default) or
    // by a button captioned cancelCaption; the index of the choice, -1 for Cancel and for
    // the close box.
    [[nodiscard]] virtual int QuestionChoice(QWidget* owner, const QString& title,
                                             const QString& text, const QStringList& choices,
                                             const QString& cancelCaption) = 0;

    // Dialogs: an empty result (or list) means the user cancelled. They open in
    // startFolder; an empty one leaves the choice to the dialog.
    [[nodiscard]] virtual QString OpenPicture(QWidget* owner, const QStringList& filters,
                                              const QString& startFolder) = 0;
    [[nodiscard]] virtual QStringList OpenFiles(QWidget* owner, const QString& filter,
                                                const QString& startFolder) = 0;
    // Asks before overwriting an existing file.
    [[nodiscard]] virtual QString SaveFile(QWidget* owner, const SaveFileRequest& request) = 0;
    [[nodiscard]] virtual QString BrowseForFolder(QWidget* owner, const QString& title,
                                                  const QString& startFolder) = 0;

    // Shows one of the program's own modal dialogs and returns QDialog::Accepted or
    // QDialog::Rejected.
    virtual int Exec(QDialog* dialog) = 0;

    // The desktop's open verb on a file path or a web address; false when nothing opened it.
    [[nodiscard]] virtual bool OpenWithDesktop(const QString& pathOrUrl) = 0;
};

// The implementation in use; the Qt one unless a test installed another.
IDialogs& Dialogs();
// Installs an implementation (not owned); null restores the Qt one.
void SetDialogs(IDialogs* dialogs);

// What the open-picture dialog's preview pane decodes pictures with: the picture at `path`
// no larger than `bound`, its own size in `size`; a null image for none. Without one, the
// pane stays empty. The program installs its picture loader at start.
using PreviewDecoder = std::function<QImage(const QString& path, QSize bound, QSize& size)>;
void SetPreviewDecoder(PreviewDecoder decode);

} // namespace lumora
