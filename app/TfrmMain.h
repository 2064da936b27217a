// SPDX-License-Identifier: GPL-2.0-or-later
// The main window: preview and information panel on the left, the start panel or the
// workflow frame on the right, the picture's name and the help drop-down across the top.
#pragma once

#include "app/HelpLauncher.h"
#include "workflow/IMainWindowHost.h"

#include <QWidget>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

namespace lumora {

class PicturePanel;
class SessionEnd;
class TMLang;
class TframeMsg;
class TfrmAbout;

class TfrmMain : public QWidget, public IMainWindowHost {
    Q_OBJECT
public:
    // The filter of the open-picture dialog, as "description|patterns|...".
    static const QString kPictureFilter;

    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // --- offered to the workflow frame
    void ShowImage(const QString& path) override;
    void ShowImageInfo(const CarrierTrailer& trailer) override;
    void ShowMainPanel(bool visible) override;
    QWidget* HostWindow() override { return this; }

    // A picture named on the command line (a file manager's "Open With") or dropped on the
    // start panel: one that holds classic hidden data opens as "Load Data from Image" opens
    // it. Any other may still hide data that only a password shows: the user chooses to
    // reveal it (the password prompt as Load shows it), to hide data into the picture, or
    // neither. A path that names no readable file is told, and the start panel stays.
    void OpenPicture(const QString& path);

    // The about box shown by "About ..."; not owned.
    void SetAboutBox(TfrmAbout* about) { m_about = about; }

    TframeMsg* Frame() const { return frameMsg; }
    SessionEnd* SessionEnding() const { return m_sessionEnd; }
    TMLang* Lang() const { return MLang; }
    QMenu* HelpMenu() const { return pmHelp; }
    bool LinksActive() const { return m_linksActive; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildInfoPanel();
    void BuildHelpButton();
    void BuildStartPanel();
    void ConfigureLang();
    void WatchMouse(QWidget* widget);
    void SetLinksActive(bool active);
    void ShowFileSizes(const QString& path, int64_t fileSize);
    QString SizeText(int64_t bytes) const;
    void SetInfoLine(QLabel* label, const char* key, const QString& value);
    // Runs the click (or hover) handler of watched; false when it has none.
    bool HandleMouse(QObject* watched, bool click);

    // handlers
    void FormCreate();
    void FormResize();
    void btnHideClick();
    void lblHideClick();
    void btnUnHideClick();
    void lblUnHideClick();
    void lblTextMsgClick();
    void lblHideFilesClick();
    void lblHideFilesSizeClick();
    void edtFilePathDblClick();
    void btnHelpClick();
    void mniHelpClick();
    void mniAboutClick();
    void pmLanguagePopup();
    // Keeps the language chosen (empty: the system's) for the next start.
    void mniLanguageClick(const QString& fileName);
    void imgBackMouseMove();
    void pnlMainMouseMove();
    void grpBoxInfoMouseMove();
    void lblHideMouseMove();
    void lblUnHideMouseMove();
    void lblTextMsgMouseMove();
    void lblHideFilesMouseMove();
    void lblHideFilesSizeMouseMove();

    bool m_linksActive = false;
    TfrmAbout* m_about = nullptr;
    SessionEnd* m_sessionEnd = nullptr;
    HelpLauncher m_help;

    QLabel* imgBack = nullptr;
    QLabel* lblSlogan = nullptr;
    QWidget* pnlImage = nullptr;
    PicturePanel* pnlShowImage = nullptr;
    QGroupBox* grpBoxInfo = nullptr;
    QLineEdit* edtFilePath = nullptr;
    QLabel* lblFileSize = nullptr;
    QLabel* lblImgSize = nullptr;
    QLabel* lblTextMsg = nullptr;
    QLabel* lblHideFiles = nullptr;
    QLabel* lblHideFilesSize = nullptr;
    QLineEdit* edtFileName = nullptr;
    QToolBar* tlbHelp = nullptr;
    QToolButton* btnHelp = nullptr;
    QWidget* pnlMain = nullptr;
    QLabel* lblUnHide = nullptr;
    QLabel* lblHide = nullptr;
    QPushButton* btnUnHide = nullptr;
    QPushButton* btnHide = nullptr;
    TframeMsg* frameMsg = nullptr;
    QMenu* pmHelp = nullptr;
    QAction* mniHelp = nullptr;
    QAction* mniAbout = nullptr;
    QMenu* pmLanguage = nullptr;
    QAction* mniSystemLanguage = nullptr;
    TMLang* MLang = nullptr;
};

} // namespace lumora
