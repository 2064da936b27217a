// SPDX-License-Identifier: GPL-2.0-or-later
#include "screenshot/Screenshot.h"

#include "app/StartUp.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "workflow/DamageMarks.h"
#include "workflow/TframeMsg.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <cstdio>

namespace lumora {
namespace {

constexpr int kSettleMilliseconds = 1000;
constexpr int kSettleAfterAttempt = 4000;

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// Walks the hide wizard forward to page 0 to 4, typing a password where one is needed.
void ShowWizardPage(TfrmMain* main, int page) {
    auto* next = main->findChild<QPushButton*>(QStringLiteral("btnNext1"));
    for (int i = 0; i < page; ++i) {
        if (i == 3) {
            for (const char* name : {"edtPass1", "edtPass2"})
                main->findChild<QLineEdit*>(QLatin1String(name))->setText(QStringLiteral("secret"));
        }
        next->click();
    }
}

// The main window with an open menu or tooltip painted where it lies on the screen.
QPixmap GrabWithPopups(TfrmMain* window) {
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = top->windowType();
        if (top->isVisible() && (type == Qt::Popup || type == Qt::ToolTip))
            painter.drawPixmap(window->mapFromGlobal(top->pos()), top->grab());
    }
    return picture;
}

// Shows the tooltip of the first row of the reveal view's file list marked as damaged.
void ShowDamageTooltip(TfrmMain* main) {
    auto* list = main->findChild<QTreeWidget*>(QStringLiteral("lvDeFiles"));
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (!RowMarkedDamaged(list, row))
            continue;
        // Over the start of the name, so that the tooltip stays inside the window.
        QTreeWidgetItem* item = list->topLevelItem(row);
        const QRect name = list->visualRect(list->model()->index(row, 1));
        QToolTip::showText(list->viewport()->mapToGlobal(name.topLeft() + QPoint(8, 4)),
                           item->toolTip(1), list->viewport());
        return;
    }
}

QWidget* SetUpScene(const QString& scene, const ProgramWindows& windows) {
    TfrmMain* main = windows.main.get();
    const QString image = Env("LUMORA_SCREENSHOT_IMAGE");
    if (scene == QLatin1String("image")) {
        main->ShowImage(image);
    } else if (scene == QLatin1String("help-menu")) {
        main->findChild<QWidget*>(QStringLiteral("btnHelp"))->setFocus();
        QTimer::singleShot(200, main, [main] {
            QWidget* button = main->findChild<QWidget*>(QStringLiteral("btnHelp"));
            main->HelpMenu()->popup(button->mapToGlobal(QPoint(0, button->height())));
        });
    } else if (scene == QLatin1String("open-dialog")) {
        // The dialog runs modally; it is photographed from inside its own event loop.
        QTimer::singleShot(0, main, [main] {
            main->findChild<QPushButton*>(QStringLiteral("btnUnHide"))->click();
        });
        QTimer::singleShot(100, main, [image] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                dialog->setDirectory(QFileInfo(image).absolutePath());
        });
        QTimer::singleShot(700, main, [image] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->selectFile(QFileInfo(image).fileName());
                emit dialog->currentChanged(image); // as a click on the file would
            }
        });
        return nullptr;
    } else if (scene == QLatin1String("about")) {
        windows.about->show();
        return windows.about;
    } else if (scene == QLatin1String("wizard")) {
        main->findChild<QPushButton*>(QStringLiteral("btnHide"))->click();
        if (!image.isEmpty())
            main->findChild<QComboBox*>(QStringLiteral("cbbFiles"))->setCurrentText(image);
        ShowWizardPage(main, Env("LUMORA_SCREENSHOT_PAGE").toInt());
    } else if (scene == QLatin1String("woven") || scene == QLatin1String("strength")) {
        // The password page: woven chosen, with the picture's room and a strong password, or
        // classic with a weak one and the hint towards the other formats.
        const bool woven = scene == QLatin1String("woven");
        main->findChild<QPushButton*>(QStringLiteral("btnHide"))->click();
        main->findChild<QComboBox*>(QStringLiteral("cbbFiles"))->setCurrentText(image);
        ShowWizardPage(main, 3);
        main->findChild<QRadioButton*>(woven ? QStringLiteral("rbWoven")
                                             : QStringLiteral("rbClassic"))
            ->click();
        for (const char* name : {"edtPass1", "edtPass2"})
            main->findChild<QLineEdit*>(QLatin1String(name))
                ->setText(woven ? QStringLiteral("harbour at dusk") : QStringLiteral("harbour7"));
    } else if (scene == QLatin1String("discard")) {
        // Cancel with a typed message: the question before it is thrown away.
        main->findChild<QPushButton*>(QStringLiteral("btnHide"))->click();
        main->findChild<QComboBox*>(QStringLiteral("cbbFiles"))->setCurrentText(image);
        ShowWizardPage(main, 1);
        main->findChild<QPlainTextEdit*>(QStringLiteral("mmoMsg"))
            ->setPlainText(QStringLiteral("Meet at the harbour at six."));
        QTimer::singleShot(0, main, [main] {
            main->findChild<QPushButton*>(QStringLiteral("btnCencel1"))->click();
        });
        return nullptr;
    } else if (scene == QLatin1String("saved")) {
        // The wizard saves into the screenshot's folder and confirms where to.
        main->findChild<QPushButton*>(QStringLiteral("btnHide"))->click();
        main->findChild<QComboBox*>(QStringLiteral("cbbFiles"))->setCurrentText(image);
        ShowWizardPage(main, 4);
        QTimer::singleShot(
            0, main, [main] { main->findChild<QPushButton*>(QStringLiteral("btnSave"))->click(); });
        QTimer::singleShot(300, main, [] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->setDirectory(QFileInfo(Env("LUMORA_SCREENSHOT")).absolutePath());
                dialog->selectFile(QFileInfo(dialog->selectedFiles().value(0)).fileName());
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        return nullptr;
    } else if (scene == QLatin1String("reveal")) {
        if (main->Frame()->LoadFromImage(image, Env("LUMORA_SCREENSHOT_PASSWORD")) == 1)
            main->ShowMainPanel(false);
        if (Env("LUMORA_SCREENSHOT_PAGE") == QLatin1String("files"))
            main->Frame()->ShowFilesPage();
        // Unsaved work: the message changed.
        if (Env("LUMORA_SCREENSHOT_PAGE") == QLatin1String("edited"))
            main->findChild<QPlainTextEdit*>(QStringLiteral("mmoDeMsg"))
                ->appendPlainText(QStringLiteral("Bring the map."));
    } else if (scene == QLatin1String("reveal-damaged") || scene == QLatin1String("keep-or-drop")) {
        // A carrier with a damaged file: the marked row with its tooltip, or the question a
        // save asks about it, photographed from inside its event loop.
        if (main->Frame()->LoadFromImage(image, Env("LUMORA_SCREENSHOT_PASSWORD")) == 1)
            main->ShowMainPanel(false);
        main->Frame()->ShowFilesPage();
        if (scene == QLatin1String("reveal-damaged")) {
            QTimer::singleShot(300, main, [main] { ShowDamageTooltip(main); });
            return main;
        }
        QTimer::singleShot(0, main, [main] {
            main->findChild<QPushButton*>(QStringLiteral("btnDeSave"))->click();
        });
        return nullptr;
    } else if (scene == QLatin1String("prompt") || scene == QLatin1String("prompt-again")) {
        // The password prompt runs modally; it is photographed from inside its event loop.
        QTimer::singleShot(0, main, [main, image] {
            if (main->Frame()->LoadFromImage(image, QString()) == 1)
                main->ShowMainPanel(false);
        });
        // A wrong password first: the prompt comes back with its error line.
        if (scene == QLatin1String("prompt-again")) {
            QTimer::singleShot(300, main, [] {
                if (auto* prompt = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    prompt->findChild<QLineEdit*>(QStringLiteral("medtPass"))
                        ->setText(QStringLiteral("not the password"));
                    prompt->accept();
                }
            });
        }
        return nullptr;
    }
    return main;
}

} // namespace

bool StartScreenshot(const ProgramWindows& windows) {
    const QString output = Env("LUMORA_SCREENSHOT");
    if (output.isEmpty())
        return false;
    QString scene = Env("LUMORA_SCREENSHOT_SCENE");
    if (scene.isEmpty())
        scene = QStringLiteral("start");

    // Keep the pointer off the window, where it would set off hover effects.
    QCursor::setPos(0, 0);
    QTimer::singleShot(0, windows.main.get(), [&windows, scene, output] {
        QWidget* subject = SetUpScene(scene, windows);
        // A failed attempt on sealed data takes a key derivation before the prompt is back.
        const int settle =
            scene == QLatin1String("prompt-again") ? kSettleAfterAttempt : kSettleMilliseconds;
        // A null subject stands for the modal dialog open at that time.
        QTimer::singleShot(settle, windows.main.get(), [&windows, subject, output] {
            QWidget* shown = subject != nullptr ? subject : QApplication::activeModalWidget();
            if (shown == nullptr)
                shown = windows.main.get();
            const QPixmap picture =
                shown == windows.main.get() ? GrabWithPopups(windows.main.get()) : shown->grab();
            if (!picture.save(output, "PNG"))
                std::fprintf(stderr, "lumora: cannot write %s\n", qPrintable(output));
            // Tests that go on with the running program ask it to stay.
            if (Env("LUMORA_SCREENSHOT_HOLD").isEmpty())
                QApplication::exit(0);
        });
    });
    return true;
}

} // namespace lumora
