// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FileListRows.h"

#include <QTreeWidget>

namespace lumora {
namespace {

constexpr int kEntryRole = Qt::UserRole;

} // namespace

QTreeWidgetItem* AppendFileRow(QTreeWidget* list, const QString& name, const QString& sizeText,
                               int entry, const QIcon& icon) {
    auto* row = new QTreeWidgetItem;
    row->setText(0, QString::number(list->topLevelItemCount() + 1));
    row->setText(1, name);
    row->setText(2, sizeText);
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    row->setData(0, kEntryRole, entry);
    if (!icon.isNull())
        row->setIcon(1, icon);
    list->addTopLevelItem(row);
    return row;
}

int RowEntry(const QTreeWidgetItem* row) {
    bool ok = false;
    const int entry = row->data(0, kEntryRole).toInt(&ok);
    return ok ? entry : kDiskFileRow;
}

QString RowName(const QTreeWidgetItem* row) {
    return row->text(1);
}

bool ListHoldsPath(const QTreeWidget* list, const QString& path) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (RowName(list->topLevelItem(i)).compare(path, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace lumora
