// SPDX-License-Identifier: GPL-2.0-or-later
// The file lists of both panels: add, delete, remove all, open, save out, the popup menu
// and the enabling rules. Every operation acts on the list of the visible panel.
#include "workflow/TframeMsg.h"

#include "archive/EntryName.h"
#include "engine/FolderExtraction.h"
#include "engine/MessageForm.h"
#include "engine/OutputNames.h"
#include "qtadapters/Dialogs.h"
#include "text/FormatFileSize.h"
#include "workflow/DamageMarks.h"
#include "workflow/DialogFolders.h"
#include "workflow/FileCopy.h"
#include "workflow/FileDropTarget.h"
#include "workflow/FileListKeys.h"
#include "workflow/FileListRows.h"
#include "workflow/HideWizard.h"
#include "workflow/PathParts.h"
#include "workflow/ProgressWatch.h"
#include "workflow/RevealView.h"

#include <QAction>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace lumora {
namespace {

const QString kAnyFileFilter = QStringLiteral("*.* (*)");

int SelectedCount(const QTreeWidget* list) {
    return list != nullptr ? static_cast<int>(list->selectedItems().size()) : 0;
}

// Selected rows in list order (the selection itself keeps the order of clicking).
QList<const QTreeWidgetItem*> SelectedRows(const QTreeWidget* list) {
    QList<const QTreeWidgetItem*> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected())
            rows.append(list->topLevelItem(i));
    }
    return rows;
}

// The name a row's file goes by when saved out: the last part of its path or entry name.
QString FileNameOf(const QTreeWidgetItem* row) {
    const PathParts parts = SplitPath(RowName(row));
    return parts.name + parts.extension;
}

} // namespace

void TframeMsg::ConnectFileLists() {
    connect(mniAdd, &QAction::triggered, this, &TframeMsg::btnAddClick);
    connect(mniDel, &QAction::triggered, this, &TframeMsg::btnDelClick);
    connect(mniRemoveAll, &QAction::triggered, this, &TframeMsg::btnRemoveAllClick);
    connect(mniLoadTheFile, &QAction::triggered, this, &TframeMsg::mniLoadTheFileClick);
    connect(mniSaveFilesAs, &QAction::triggered, this, &TframeMsg::mniSaveFilesAsClick);
    for (const FileListControls& files : {m_wizard->Files(), m_reveal->Files()}) {
        connect(files.add, &QPushButton::clicked, this, &TframeMsg::btnAddClick);
        connect(files.del, &QPushButton::clicked, this, &TframeMsg::btnDelClick);
        connect(files.removeAll, &QPushButton::clicked, this, &TframeMsg::btnRemoveAllClick);
        connect(files.open, &QPushButton::clicked, this, &TframeMsg::mniLoadTheFileClick);
        if (files.saveAs != nullptr)
            connect(files.saveAs, &QPushButton::clicked, this, &TframeMsg::mniSaveFilesAsClick);
        QTreeWidget* list = files.list;
        connect(list, &QTreeWidget::itemDoubleClicked, this, &TframeMsg::mniLoadTheFileClick);
        connect(list, &QTreeWidget::itemSelectionChanged, this, &TframeMsg::lvFilesChange);
        connect(list, &QTreeWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { pmFilePopup(list, pos); });
        auto addDropped = [this, list](const QStringList& paths) {
            AddFiles(list, paths);
            lvFilesChange();
        };
        new FileDropTarget({list, list->viewport()}, addDropped);
        // Files dropped on the message join the list too; dropped text goes into the message.
        new FileDropTarget({files.memo, files.memo->viewport()}, addDropped,
                           FileDropTarget::OtherDrops::PassOn);
        new FileListKeys(list, {[this] { btnDelClick(); }, [this] { mniLoadTheFileClick(); },
                                [this, list](const QPoint& at) { pmFilePopup(list, at); }});
    }
}

QTreeWidget* TframeMsg::VisibleList() const {
    if (!m_wizard->isHidden())
        return m_wizard->Files().list;
    if (!m_reveal->isHidden())
        return m_reveal->Files().list;
    return nullptr;
}

void TframeMsg::lvFilesChange() {
    for (const FileListControls& files : {m_wizard->Files(), m_reveal->Files()}) {
        const int selected = SelectedCount(files.list);
        files.open->setEnabled(selected == 1);
        files.del->setEnabled(selected >= 1);
        if (files.saveAs != nullptr)
            files.saveAs->setEnabled(selected >= 1);
        files.removeAll->setEnabled(files.list->topLevelItemCount() > 0);
    }

    const QTreeWidget* list = VisibleList();
    const int selected = SelectedCount(list);
    mniLoadTheFile->setEnabled(selected == 1);
    mniDel->setEnabled(selected >= 1);
    mniSaveFilesAs->setEnabled(selected >= 1);
    mniRemoveAll->setEnabled(list != nullptr && list->topLevelItemCount() > 0);
    mniAdd->setEnabled(true);
}

void TframeMsg::pmFilePopup(QTreeWidget* list, const QPoint& pos) {
    lvFilesChange();
    pmFile->popup(list->viewport()->mapToGlobal(pos));
}

void TframeMsg::btnAddClick() {
    QTreeWidget* list = VisibleList();
    if (list == nullptr)
        return;
    const QStringList paths =
        Dialogs().OpenFiles(window(), kAnyFileFilter, StartFolder(DialogFolder::AddFiles));
    if (!paths.isEmpty())
        RememberFolderOf(DialogFolder::AddFiles, paths.first());
    AddFiles(list, paths);
}

void TframeMsg::AddFiles(QTreeWidget* list, const QStringList& paths) {
    for (const QString& path : paths) {
        if (list->topLevelItemCount() >= kMaxListRows) {
            ShowError("strTooManyFiles");
            break;
        }
        AddFileRow(list, path);
    }
    lvFilesChange();
}

void TframeMsg::AddFileRow(QTreeWidget* list, const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    const QString fullPath = info.absoluteFilePath();
    if (!IsAcceptableNewEntryName(info.fileName().toStdString())) {
        ShowErrorWith("strBadFileName", info.fileName());
        return;
    }
    if (ListHoldsPath(list, fullPath)) {
        ShowError("strFileInList");
        return;
    }
    if (info.size() >= kMaxCarrierSize) {
        ShowErrorWith("strFileTooLarge", fullPath);
        return;
    }
    const QIcon icon = QFileIconProvider().icon(info);
    AppendFileRow(list, fullPath,
                  QString::fromStdString(FormatFileSize(info.size(), ByteWord().toStdString())),
                  kDiskFileRow, icon);
    m_saved = false;
}

void TframeMsg::btnDelClick() {
    QTreeWidget* list = VisibleList();
    if (list == nullptr)
        return;
    qDeleteAll(list->selectedItems());
    lvFilesChange();
    m_saved = false;
}

void TframeMsg::btnRemoveAllClick() {
    QTreeWidget* list = VisibleList();
    if (list == nullptr)
        return;
    if (Dialogs().QuestionYesNo(window(), Message("strError"), Message("strRemoveAll")) ==
        Answer::Yes)
        list->clear();
    lvFilesChange();
    m_saved = false;
}

void TframeMsg::mniLoadTheFileClick() {
    const QTreeWidget* list = VisibleList();
    if (list == nullptr || SelectedCount(list) != 1)
        return;
    const QTreeWidgetItem* row = list->selectedItems().first();
    const int entry = RowEntry(row);
    if (entry < 0) {
        if (!RowName(row).isEmpty())
            Dialogs().OpenWithDesktop(RowName(row));
        return;
    }
    std::string copy;
    const Status extracted = ExtractToWorkFolder(entry, copy);
    if (extracted.Ok())
        Dialogs().OpenWithDesktop(QString::fromStdString(copy));
    else if (extracted.Outcome() != Outcome::Cancelled)
        ShowOpenFailure(extracted);
}

void TframeMsg::mniSaveFilesAsClick() {
    const QTreeWidget* list = VisibleList();
    if (list == nullptr)
        return;
    const QList<const QTreeWidgetItem*> rows = SelectedRows(list);
    // Its outcome is shown by the save itself.
    static_cast<void>(GuardedSave([this, &rows] {
        if (rows.size() == 1)
            SaveOneRowAs(rows.first());
        else if (rows.size() > 1)
            SaveRowsToFolder(rows);
        return SaveOutcome::Saved;
    }));
}

void TframeMsg::SaveOneRowAs(const QTreeWidgetItem* row) {
    SaveFileRequest request;
    const QString fileName = FileNameOf(row);
    request.proposedName = SplitPath(RowName(row)).name.isEmpty() ? RowName(row) : fileName;
    request.defaultSuffix = m_saveSuffix;
    request.filter = kAnyFileFilter;
    request.startFolder = StartFolder(DialogFolder::SaveFiles);
    const QString target = Dialogs().SaveFile(window(), request);
    if (target.isEmpty())
        return;
    RememberFolderOf(DialogFolder::SaveFiles, target);
    SaveRowTo(row, target);
}

QString TframeMsg::AskTargetFolder() {
    const QString folder = Dialogs().BrowseForFolder(window(), Message("strSelFolder"),
                                                     StartFolder(DialogFolder::SaveFiles));
    RememberFolder(DialogFolder::SaveFiles, folder);
    return folder;
}

void TframeMsg::SaveRowsToFolder(const QList<const QTreeWidgetItem*>& rows) {
    const QString folder = AskTargetFolder();
    if (folder.isEmpty())
        return;
    // Only the file's own name is used, so entry names cannot lead outside the folder.
    FolderOutput hidden;
    hidden.folder = folder.toStdString();
    hidden.replace = true;
    // A damaged file does not keep the intact ones from being saved.
    hidden.skipDamaged = true;
    QList<const QTreeWidgetItem*> onDisk;
    QStringList copies;
    std::vector<std::string> taken;
    for (const QTreeWidgetItem* row : rows) {
        const HiddenEntry* entry = m_carrier.Entry(RowEntry(row));
        const std::string name =
            entry != nullptr ? OwnOutputName(entry->name) : FileNameOf(row).toStdString();
        if (name.empty())
            continue;
        // A row of the same name before this one will have put a file there by then.
        if (ExistsBelow(hidden.folder, name) ||
            std::find(taken.begin(), taken.end(), name) != taken.end()) {
            const QString shownName = QString::fromStdString(ShowableText(name));
            const QString question = MessageWith("strFileExists", shownName);
            if (Dialogs().QuestionYesNo(window(), Message("strrAppName"), question) != Answer::Yes)
                continue;
        }
        taken.push_back(name);
        if (entry != nullptr) {
            hidden.entries.push_back(entry->index);
            hidden.targets.push_back(name);
        } else {
            onDisk.append(row);
            copies.append(folder + QLatin1Char('/') + QString::fromStdString(name));
        }
    }
    Status failure = Status::Success();
    for (qsizetype i = 0; i < onDisk.size(); ++i) {
        if (!CopyFileReplacing(RowName(onDisk[i]), copies[i]) && failure.Ok())
            failure = Status::Fail(Reason::WriteFailed, copies[i].toStdString());
    }
    // Cancel in the progress dialog stops the whole save-out and is not a failure.
    if (!hidden.entries.empty()) {
        Status extracted = Extract(
            [&hidden](UnlockedCarrier& carrier) { return ExtractToFolder(carrier, hidden); });
        const QStringList damaged = DamagedEntryNames(m_carrier, hidden.entries);
        if (extracted.Outcome() == Outcome::Damaged && !damaged.isEmpty()) {
            Dialogs().Error(
                window(), Message("strError"),
                Message("strSaveError") + QLatin1Char('\n') +
                    MessageWith("strFilesDamagedNotSaved", damaged.join(QStringLiteral(", "))));
            extracted = Status::Success();
        }
        if (failure.Ok() && extracted.Outcome() != Outcome::Cancelled)
            failure = std::move(extracted);
    }
    if (!failure.Ok())
        ShowSaveFailure(failure);
}

void TframeMsg::SaveRowTo(const QTreeWidgetItem* row, const QString& target) {
    const int entry = RowEntry(row);
    Status failure = Status::Success();
    if (entry < 0) {
        if (!CopyFileReplacing(RowName(row), target))
            failure = Status::Fail(Reason::WriteFailed, target.toStdString());
    } else {
        failure = Extract([entry, &target](UnlockedCarrier& carrier) {
            return carrier.ExtractToFile(entry, target.toStdString(), true);
        });
    }
    // Cancel in the progress dialog stops the save-out and is not a failure.
    if (!failure.Ok() && failure.Outcome() != Outcome::Cancelled)
        ShowSaveFailure(failure);
}

Status TframeMsg::ExtractToWorkFolder(int entry, std::string& copy) {
    return Extract([entry, &copy](UnlockedCarrier& carrier) {
        return carrier.ExtractToWorkFolder(entry, copy);
    });
}

Status TframeMsg::Extract(const std::function<Status(UnlockedCarrier&)>& extraction) {
    if (m_carrier.unlocked == nullptr)
        return Status::Fail(Reason::NoSuchEntry);
    Status status = Status::Success();
    {
        ProgressWatch watch(window(), Message("strExtracting"), MessageSource(), true);
        ObserverScope observing(m_carrier, &watch);
        status = Watched(extraction(*m_carrier.unlocked), watch);
    }
    // A read may have found damage that unlocking could not see.
    MarkDamagedRows(m_reveal->Files().list, m_carrier, MessageSource());
    return status;
}

Status TframeMsg::Watched(Status status, const ProgressWatch& watch) {
    return watch.WasCancelled() ? Status::Fail(Reason::Cancelled) : status;
}

} // namespace lumora
