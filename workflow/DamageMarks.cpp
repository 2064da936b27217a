// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/DamageMarks.h"

#include "archive/EntryName.h"
#include "engine/MessageForm.h"
#include "workflow/FileListRows.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

namespace lumora {
namespace {

constexpr int kDamagedRole = Qt::UserRole + 1;

QString Shown(const std::string& name) {
    return QString::fromStdString(ShowableText(name));
}

void AddOnce(QStringList& names, const QString& name) {
    if (!name.isEmpty() && !names.contains(name))
        names.append(name);
}

} // namespace

const QStringList& DamageMessages() {
    static const QStringList lines{
        QStringLiteral("strDamagedKeepOrDrop=Some of the hidden content is damaged: %s. Do you "
                       "want to keep it in the image as it is stored, still damaged, or leave it "
                       "out?"),
        QStringLiteral("strKeepDamaged=&Keep It"),
        QStringLiteral("strDropDamaged=&Leave It Out"),
        QStringLiteral("strDamagedMessageName=the text message"),
        QStringLiteral("strFilesDamagedNotSaved=These hidden files are damaged and were not "
                       "saved: %s"),
    };
    return lines;
}

void MarkDamagedRows(QTreeWidget* list, const FrameCarrier& carrier, const MessageLookup& message) {
    const QIcon warning = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const int index = RowEntry(row);
        const HiddenEntry* entry = index >= 0 ? carrier.Entry(index) : nullptr;
        const bool damaged = entry != nullptr && entry->damaged;
        if (row->data(0, kDamagedRole).toBool() == damaged)
            continue;
        row->setData(0, kDamagedRole, damaged);
        row->setIcon(1, damaged ? warning : QIcon());
        const QString tip =
            damaged ? ReasonLine(Status::Fail(Reason::EntryDamaged, entry->name), message)
                    : QString();
        for (int column = 0; column < row->columnCount(); ++column)
            row->setToolTip(column, tip);
    }
}

bool RowMarkedDamaged(const QTreeWidget* list, int row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return item != nullptr && item->data(0, kDamagedRole).toBool();
}

QStringList DamagedKeptNames(const UnlockedCarrier& carrier, const SaveRequest& request,
                             const Status& status, const MessageLookup& message) {
    QStringList names;
    for (const HiddenEntry& entry : carrier.Entries()) {
        const bool kept = std::find(request.keptEntries.begin(), request.keptEntries.end(),
                                    entry.index) != request.keptEntries.end();
        if (kept && entry.damaged)
            AddOnce(names, Shown(entry.name));
    }
    const bool messageDamaged =
        request.keepMessage && carrier.GetMessageState() == MessageState::Damaged;
    if (status.subject != kMessageEntryName)
        AddOnce(names, Shown(status.subject));
    if (messageDamaged || status.subject == kMessageEntryName)
        AddOnce(names, message("strDamagedMessageName"));
    return names;
}

QStringList DamagedEntryNames(const FrameCarrier& carrier, const std::vector<int>& entries) {
    QStringList names;
    for (int index : entries) {
        const HiddenEntry* entry = carrier.Entry(index);
        if (entry != nullptr && entry->damaged)
            AddOnce(names, Shown(entry->name));
    }
    return names;
}

} // namespace lumora
