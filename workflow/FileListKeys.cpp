// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FileListKeys.h"

#include <QKeyEvent>
#include <QTreeWidget>

namespace lumora {

FileListKeys::FileListKeys(QTreeWidget* list, Actions actions)
    : QObject(list), m_list(list), m_actions(std::move(actions)) {
    list->installEventFilter(this);
}

bool FileListKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Delete && modifiers == Qt::NoModifier) {
        m_actions.deleteRows();
        return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        modifiers == Qt::NoModifier) {
        m_actions.openRow();
        return true;
    }
    const bool menuKey = key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier;
    const bool shiftF10 = key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier;
    if (menuKey || shiftF10) {
        const QTreeWidgetItem* current = m_list->currentItem();
        const QPoint at =
            current != nullptr ? m_list->visualItemRect(current).bottomLeft() : QPoint(0, 0);
        m_actions.popupMenu(at);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lumora
