// SPDX-License-Identifier: GPL-2.0-or-later
// Keys of a file list: Delete deletes the selected rows, Enter opens the current row, and
// the Menu key or Shift+F10 opens the popup menu at the current row.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QTreeWidget;

namespace lumora {

class FileListKeys : public QObject {
public:
    struct Actions {
        std::function<void()> deleteRows;
        std::function<void()> openRow;
        std::function<void(const QPoint& viewportPos)> popupMenu;
    };

    // Parented to the list.
    FileListKeys(QTreeWidget* list, Actions actions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidget* m_list;
    Actions m_actions;
};

} // namespace lumora
