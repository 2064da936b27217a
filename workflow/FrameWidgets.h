// SPDX-License-Identifier: GPL-2.0-or-later
// The widgets the workflow frame's panels are built from. Every widget carries its
// component name as objectName, which is also how the language component finds its texts.
#pragma once

#include <QList>
#include <QString>

class QFrame;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

namespace lumora {

inline constexpr int kPageMargin = 8;

template <typename W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text);
QPushButton* NewButton(QWidget* parent, const char* name, const QString& text);
QFrame* NewSeparator(QWidget* parent, const char* name);
QPlainTextEdit* NewMemo(QWidget* parent, const char* name);
// A 16 by 16 mark showing picture, or fallback text where it cannot be loaded; hidden.
QLabel* NewMark(QWidget* parent, const char* name, const QString& picture, const QString& fallback);
// A list of files to hide (icon, name, size), without a parent.
QTreeWidget* NewFileList(const char* name);
QGridLayout* NewButtonGrid();
// A wizard or tab page's layout, with the pages' margins.
QVBoxLayout* PageLayout(QWidget* page);

// Puts buttons into a grid in rows of at most maxPerRow, fewer when their captions would
// not fit the width side by side (a column is as wide as its widest button), so that no
// caption is cut whatever the language.
void ArrangeButtonRows(QGridLayout* grid, const QList<QPushButton*>& buttons, int maxPerRow,
                       int width);

// Gives widget the focus when it is shown; a hidden one cannot take it.
void FocusIfVisible(QWidget* widget);

// Presses the cancel button on Esc while the panel has the focus and the button is usable.
void BindEscape(QWidget* panel, QPushButton* button);

// Lays a panel out: body above the separator and a row of buttons at the right, the last
// of which cancels (BindEscape).
void LayOutPanel(QWidget* panel, QWidget* body, QFrame* separator,
                 const QList<QPushButton*>& buttons);

// A panel's file list and the buttons beside it; the frame runs them for both panels.
struct FileListControls {
    QTreeWidget* list = nullptr;
    QPushButton* add = nullptr;
    QPushButton* del = nullptr;
    QPushButton* removeAll = nullptr;
    QPushButton* open = nullptr;
    QPushButton* saveAs = nullptr;  // Save Files As; the reveal view's only
    QPlainTextEdit* memo = nullptr; // the panel's message, where dropped files join the list
};

} // namespace lumora
