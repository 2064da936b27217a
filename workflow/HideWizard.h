// SPDX-License-Identifier: GPL-2.0-or-later
// The frame's five-page hide wizard (image, message, files, password, save), the panel
// "pnlEnCodeImage". It is a part of TframeMsg: no language component of its own, and the
// frame's shared state (carrier, saved flag, file list operations, messages) is used
// through the frame's IPanelHost.
#pragma once

#include "workflow/FrameWidgets.h"
#include "workflow/IPanelHost.h"

#include <QFrame>
#include <QStringList>
#include <memory>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace lumora {

class FormatChoice;
class StrengthMeter;

class HideWizard : public QFrame {
public:
    // Builds the panel inside the frame, which hosts it.
    HideWizard(QWidget* frame, IPanelHost& host);
    ~HideWizard() override;

    // Connects the panel's own controls; the frame connects its file list.
    void ConnectHandlers();
    // Back on the first page with every field empty, the recent images offered.
    void Start();
    // The image chosen in the picture dialog or dropped on the first page; empty: none.
    void ChooseImage(const QString& path);
    bool AtSavePage() const;
    // A message, files or a password typed but not yet saved into an image.
    bool HasTypedWork() const;
    // Asks where to and saves the carrier with what the pages hold.
    SaveOutcome SaveCarrier();
    void ShowCancelCaption();
    void FitListButtons(int pageWidth);

    FileListControls Files() const {
        return {lvFiles, btnAdd, btnDel, btnRemoveAll, btnOpen, nullptr, mmoMsg};
    }
    const QStringList& RecentImages() const { return m_recentImages; }

private:
    void Build();
    // SaveCarrier without the handler of exceptions.
    SaveOutcome SaveCarrierUnguarded();
    void SetTabOrder();
    void LoadRecentImages();
    void SetWizardPage(int index);
    void btnNext1Click();
    void btnBack1Click();
    void btnSelImgClick();
    void cbbFilesChange();
    void edtPass1Change();
    // The format chosen or what is known of the picture changed.
    void FormatChanged();
    // An upper bound of the archive the message and the files make.
    uint64_t ContentBound() const;
    void pgcEncodeImageTabActive(int index);

    IPanelHost& m_host;
    QStringList m_recentImages;
    // Whether the save checks the cover again; off once the user took one that failed.
    bool m_checkCover = true;

    QStackedWidget* pgcEncodeImage = nullptr;
    QWidget* tsSelectImg = nullptr;
    QWidget* tsInputMsg = nullptr;
    QWidget* tsInputFiles = nullptr;
    QWidget* tsSetPass = nullptr;
    QWidget* tsSaveImg = nullptr;
    QLabel* lbl1 = nullptr;
    QLabel* lbl2 = nullptr;
    QLabel* lbl3 = nullptr;
    QLabel* lbl4 = nullptr;
    QLabel* lbl7 = nullptr;
    QLabel* lbl8 = nullptr;
    QComboBox* cbbFiles = nullptr;
    QPushButton* btnSelImg = nullptr;
    QPlainTextEdit* mmoMsg = nullptr;
    QTreeWidget* lvFiles = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDel = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    QPushButton* btnOpen = nullptr;
    QLineEdit* edtPass1 = nullptr;
    QLineEdit* edtPass2 = nullptr;
    QLabel* lblPasswordError = nullptr;
    QLabel* imgRight = nullptr;
    QLabel* imgError = nullptr;
    std::unique_ptr<StrengthMeter> m_strength;
    FormatChoice* grpFormat = nullptr;
    QPushButton* btnSave = nullptr;
    QFrame* shp1 = nullptr;
    QPushButton* btnBack1 = nullptr;
    QPushButton* btnNext1 = nullptr;
    QPushButton* btnCencel1 = nullptr;
    QGridLayout* m_listButtons = nullptr;
};

} // namespace lumora
