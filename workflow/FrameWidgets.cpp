// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FrameWidgets.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

namespace lumora {
namespace {

constexpr int kButtonSpacing = 6;

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

} // namespace

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

QTreeWidget* NewFileList(const char* name) {
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

QGridLayout* NewButtonGrid() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(kButtonSpacing);
    grid->setVerticalSpacing(kButtonSpacing);
    return grid;
}

QVBoxLayout* PageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->setSpacing(kPageMargin);
    return layout;
}

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

void FocusIfVisible(QWidget* widget) {
    if (widget->isVisible())
        widget->setFocus(Qt::OtherFocusReason);
}

void BindEscape(QWidget* panel, QPushButton* button) {
    new EscapePressesButton(panel, button);
}

void LayOutPanel(QWidget* panel, QWidget* body, QFrame* separator,
                 const QList<QPushButton*>& buttons) {
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    for (QPushButton* button : buttons)
        buttonRow->addWidget(button);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, kPageMargin);
    panelLayout->addWidget(body, 1);
    panelLayout->addWidget(separator);
    panelLayout->addLayout(buttonRow);
    BindEscape(panel, buttons.back());
}

} // namespace lumora
