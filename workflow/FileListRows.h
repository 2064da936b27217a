// SPDX-License-Identifier: GPL-2.0-or-later
// Rows of the two file lists. Column 0 holds the row's number, column 1 the full path of a
// file on disk or the entry name of a hidden file, column 2 its size as text. Each row also
// carries the entry it shows: a hidden file's index (HiddenEntry::index), or -1 for a file
// on disk.
#pragma once

#include <QIcon>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace lumora {

constexpr int kMaxListRows = 100;
constexpr int kDiskFileRow = -1;

// Appends a row numbered by the list's new row count; numbers are never renumbered.
QTreeWidgetItem* AppendFileRow(QTreeWidget* list, const QString& name, const QString& sizeText,
                               int entry, const QIcon& icon = QIcon());

int RowEntry(const QTreeWidgetItem* row);
QString RowName(const QTreeWidgetItem* row);

// True when a row already names this path, compared without regard to letter case.
bool ListHoldsPath(const QTreeWidget* list, const QString& path);

} // namespace lumora
