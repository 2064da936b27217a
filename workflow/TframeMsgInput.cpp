// SPDX-License-Identifier: GPL-2.0-or-later
// What reaches the frame other than through its buttons: files and images dragged onto
// it, the keys of the file lists, Enter in the wizard's fields, and the tab order.
#include "workflow/TframeMsg.h"

#include "workflow/FileDropTarget.h"
#include "workflow/FileListKeys.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>

namespace lumora {

void TframeMsg::ConnectDropsAndKeys() {
    for (QTreeWidget* list : {lvFiles, lvDeFiles}) {
        new FileDropTarget({list, list->viewport()}, [this, list](const QStringList& paths) {
            AddFiles(list, paths);
            lvFilesChange();
        });
        new FileListKeys(list, {[this] { btnDelClick(); }, [this] { mniLoadTheFileClick(); },
                                [this, list](const QPoint& at) { pmFilePopup(list, at); }});
    }
    // Only the first of several dropped files can be the image.
    new FileDropTarget({tsSelectImg, cbbFiles, cbbFiles->lineEdit()},
                       [this](const QStringList& paths) { ChooseImage(paths.first()); });

    auto pressNext = [this] {
        if (btnNext1->isVisible() && btnNext1->isEnabled())
            btnNext1->click();
    };
    connect(cbbFiles->lineEdit(), &QLineEdit::returnPressed, this, pressNext);
    connect(edtPass1, &QLineEdit::returnPressed, this, pressNext);
    connect(edtPass2, &QLineEdit::returnPressed, this, pressNext);
}

void TframeMsg::SetTabOrders() {
    const QList<QWidget*> wizard{cbbFiles,     btnSelImg, mmoMsg,   lvFiles,   btnAdd,    btnDel,
                                 btnRemoveAll, btnOpen,   edtPass1, edtPass2,  rbClassic, rbSealed,
                                 btnSave,      btnBack1,  btnNext1, btnCencel1};
    const QList<QWidget*> reveal{pgcDecodeImage, mmoDeMsg,       lvDeFiles,  btnDeAdd,
                                 btnDeDel,       btnDeRemoveAll, btnDeOpen,  btnDeSaveFilesAs,
                                 btnDeSave,      btnDeSaveAs,    btnDeCancel};
    for (const QList<QWidget*>& chain : {wizard, reveal}) {
        for (qsizetype i = 1; i < chain.size(); ++i)
            setTabOrder(chain[i - 1], chain[i]);
    }
}

} // namespace lumora
