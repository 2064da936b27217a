// SPDX-License-Identifier: GPL-2.0-or-later
#include "AppTestSupport.h"

#include "app/PicturePanel.h"
#include "app/TfrmMain.h"
#include "engine/CarrierTrailer.h"
#include "support/ReferenceCarriers.h"
#include "text/FormatFileSize.h"
#include "workflow/TframeMsg.h"
#include "workflow/TfrmCheckPass.h"

#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <sys/stat.h>

using namespace lumora;
using lumora::test::AppTestEnvironment;

namespace {

// Answers the password prompt with text typed into its field.
std::function<int(QDialog*)> TypePassword(const QString& text) {
    return [text](QDialog* prompt) {
        prompt->findChild<QLineEdit*>(QStringLiteral("medtPass"))->setText(text);
        return int(QDialog::Accepted);
    };
}

CarrierTrailer Trailer(int32_t payload, int32_t image, int32_t message = 0, int32_t files = 0,
                       int32_t filesSize = 0) {
    CarrierTrailer trailer{};
    trailer.payloadLength = payload;
    trailer.imageLength = image;
    trailer.messageLength = message;
    trailer.fileCount = files;
    trailer.filesTotalSize = filesSize;
    return trailer;
}

void Hover(QWidget* widget) {
    QEnterEvent enter(QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)),
                      widget->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(widget, &enter);
}

void MoveOver(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QColor TextColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

} // namespace

class TfrmMainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;
    std::unique_ptr<TfrmMain> m_window;

    template <typename T = QWidget> T* Child(const char* name) {
        T* child = m_window->findChild<T*>(QLatin1String(name));
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }
    QLabel* Label(const char* name) { return Child<QLabel>(name); }
    QString CurrentRevealPage() {
        return Child<QTabWidget>("pgcDecodeImage")->currentWidget()->objectName();
    }

private slots:
    void init() {
        m_env = std::make_unique<AppTestEnvironment>();
        m_window = std::make_unique<TfrmMain>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() {
        m_window.reset();
        m_env.reset();
    }

    void startsWithZeroInertPanelAndItsLayout() {
        QCOMPARE(Label("lblFileSize")->text(), QStringLiteral("Image File Size: 0 Byte"));
        QCOMPARE(Label("lblImgSize")->text(), QStringLiteral("Image Part Size: 0 Byte"));
        QCOMPARE(Label("lblTextMsg")->text(), QStringLiteral("Hidden Text Messages Size: 0 Byte"));
        QCOMPARE(Label("lblHideFiles")->text(), QStringLiteral("Hidden Files Number: 0"));
        QCOMPARE(Label("lblHideFilesSize")->text(),
                 QStringLiteral("Hidden Files Total Size: 0 Byte"));
        for (const char* name :
             {"lblFileSize", "lblImgSize", "lblTextMsg", "lblHideFiles", "lblHideFilesSize"}) {
            QCOMPARE(TextColour(Label(name)), QColor(Qt::black));
            QVERIFY(!Label(name)->testAttribute(Qt::WA_SetCursor));
        }
        QVERIFY(!m_window->LinksActive());
        QVERIFY(Child<QLineEdit>("edtFileName")->text().isEmpty());
        QVERIFY(Child<QLineEdit>("edtFilePath")->text().isEmpty());
        QCOMPARE(Child<QLineEdit>("edtFileName")->font().pointSize(), 12);

        QCOMPARE(m_window->size(), QSize(750, 516));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Lumora"));
        QCOMPARE(Child("frameMsg")->geometry(), QRect(325, 60, 408, 450));
        QVERIFY(Child("frameMsg")->isHidden());
        QVERIFY(Child("pnlMain")->isVisible());
        const QWidget* helpBar = Child("tlbHelp");
        QCOMPARE(helpBar->x() + helpBar->width(), 750 - 20);
        QCOMPARE(Child("edtFileName")->width(), helpBar->x() - 336 - 5);
        // The wizard's lone save button is as high as the start panel's buttons.
        auto* save = Child("btnSave");
        save->ensurePolished();
        QCOMPARE(save->minimumHeight(), Child("btnHide")->height());
    }

    void mainWindowKeysAreWrittenInOrder() {
        QFile file(m_env->LanguageFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList keys;
        QStringList lines;
        bool inSection = false;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'['))
                inSection = line == QLatin1String("[TfrmMain]");
            else if (inSection && line.contains(u'=')) {
                keys.append(line.section(u'=', 0, 0));
                lines.append(line);
            }
        }
        const QStringList expected = {
            "frmMain_FontName",    "frmMain_FontSize",    "frmMain_FontCharset",
            "frmMain_Caption",     "lblSlogan_Caption",   "grpBoxInfo_Caption",
            "btnHelp_Caption",     "lblUnHide_Caption",   "lblHide_Caption",
            "btnUnHide_Caption",   "btnHide_Caption",     "mniHelp_Caption",
            "mniAbout_Caption",    "mniLanguage_Caption", "mniSystemLanguage_Caption",
            "strFileSize",         "strImgSize",          "strTextMsgSize",
            "strHideFilesNum",     "strHideFilesSize",    "strLanguageNextStart",
            "strPictureNotOpened", "strOpenWhich"};
        QCOMPARE(keys, expected);
        // The font the windows are laid out for, whatever face stands in for it here.
        QCOMPARE(lines.mid(0, 2),
                 QStringList({"frmMain_FontName=MS Sans Serif", "frmMain_FontSize=8"}));
    }

    void previewIsPlacedInItsFrame_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("preview");
        QTest::addColumn<bool>("stretched");
        QTest::newRow("small, unscaled") << QSize(100, 100) << QRect(82, 66, 100, 100) << false;
        QTest::newRow("exact fit") << QSize(265, 233) << QRect(1, 1, 265, 233) << false;
        QTest::newRow("width-limited") << QSize(530, 233) << QRect(2, 60, 261, 112) << true;
        QTest::newRow("height-limited") << QSize(233, 466) << QRect(76, 2, 112, 229) << true;
        QTest::newRow("tie goes to width") << QSize(530, 466) << QRect(2, 2, 261, 229) << true;
        QTest::newRow("very thin") << QSize(4000, 2) << QRect(2, 116, 261, 1) << true;
    }
    void previewIsPlacedInItsFrame() {
        QFETCH(QSize, picture);
        QFETCH(QRect, preview);
        QFETCH(bool, stretched);
        const QString path =
            m_env->WritePicture(QStringLiteral("picture.png"), picture.width(), picture.height());
        m_window->ShowImage(path);
        const auto* panel = Child<PicturePanel>("pnlShowImage");
        QCOMPARE(panel->geometry(), preview);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->Stretch(), stretched);
        // How it is scaled is the preview test's.
        QVERIFY(!panel->Picture().isNull());
        QCOMPARE(Child<QLineEdit>("edtFileName")->text(), QStringLiteral("picture.png"));
        QCOMPARE(Child<QLineEdit>("edtFilePath")->text(), path);
    }

    void undecodablePictureShowsNameButNoPreview_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("pcx") << "scan.pcx" << QByteArray("\x0a\x05\x01\x08", 4);
        QTest::newRow("ani") << "busy.ani" << QByteArray("RIFF\x10\0\0\0ACONanih", 16);
        QTest::newRow("damaged jpeg") << "broken.jpg" << QByteArray("\xff\xd8\xff\xe0garbage");
        QTest::newRow("damaged wmf") << "broken.wmf" << QByteArray(64, '\x01');
        QTest::newRow("empty emf") << "empty.emf" << QByteArray();
        QTest::newRow("missing") << "gone.bmp" << QByteArray("-");
    }
    void undecodablePictureShowsNameButNoPreview() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        m_window->ShowImage(m_env->WritePicture(QStringLiteral("good.png"), 50, 50));
        QVERIFY(Child("pnlShowImage")->isVisible());

        const QString path = m_env->PathOf(name);
        if (bytes != "-")
            test::WriteFile(path.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
        m_window->ShowImage(path);
        QCOMPARE(Child<QLineEdit>("edtFileName")->text(), name);
        QCOMPARE(Child<QLineEdit>("edtFilePath")->text(), path);
        QVERIFY(Child<PicturePanel>("pnlShowImage")->Picture().isNull());
        QVERIFY(m_env->Dialogs().shown.isEmpty());
    }

    void sizesUseDecimalUnits_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0 Byte";
        QTest::newRow("1000") << 1000 << "1000 Byte";
        QTest::newRow("1001") << 1001 << "1.00 KB";
        QTest::newRow("1 000 000") << 1000000 << "1000.00 KB";
        QTest::newRow("1 500 000") << 1500000 << "1.50 MB";
        QTest::newRow("1 000 000 000") << 1000000000 << "1000.00 MB";
        QTest::newRow("1 000 000 001") << 1000000001 << "1.00 GB";
        QTest::newRow("negative") << -5 << "-5 Byte";
    }
    void sizesUseDecimalUnits() {
        QFETCH(int, bytes);
        QFETCH(QString, text);
        m_window->ShowImageInfo(Trailer(0, bytes));
        QCOMPARE(Label("lblImgSize")->text(), QStringLiteral("Image Part Size: ") + text);
    }

    void carrierInfoFillsPanelAndActivatesLinks() {
        m_window->ShowImageInfo(Trailer(5000, 20000, 1234, 3, 1500000));
        QCOMPARE(Label("lblFileSize")->text(), QStringLiteral("Image File Size: 25.00 KB"));
        QCOMPARE(Label("lblImgSize")->text(), QStringLiteral("Image Part Size: 20.00 KB"));
        QCOMPARE(Label("lblTextMsg")->text(), QStringLiteral("Hidden Text Messages Size: 1.23 KB"));
        QCOMPARE(Label("lblHideFiles")->text(), QStringLiteral("Hidden Files Number: 3"));
        QCOMPARE(Label("lblHideFilesSize")->text(),
                 QStringLiteral("Hidden Files Total Size: 1.50 MB"));
        for (const char* name : {"lblTextMsg", "lblHideFiles", "lblHideFilesSize"}) {
            QCOMPARE(TextColour(Label(name)), QColor(Qt::blue));
            QCOMPARE(Label(name)->cursor().shape(), Qt::PointingHandCursor);
        }
        for (const char* name : {"lblFileSize", "lblImgSize"})
            QCOMPARE(TextColour(Label(name)), QColor(Qt::black));

        // Sizes near the 32-bit limit add up without wrapping.
        m_window->ShowImageInfo(Trailer(2000000000, 2000000000));
        QCOMPARE(Label("lblFileSize")->text(), QStringLiteral("Image File Size: 4.00 GB"));
    }

    void linkLinesSwitchRevealPagesOnlyWhileActive() {
        m_window->ShowImageInfo(Trailer(5000, 20000, 10, 1, 10));
        QTest::mouseClick(Label("lblTextMsg"), Qt::LeftButton);
        QCOMPARE(CurrentRevealPage(), QStringLiteral("tsOutputMsg"));
        QTest::mouseClick(Label("lblHideFiles"), Qt::LeftButton);
        QCOMPARE(CurrentRevealPage(), QStringLiteral("tsOutputFiles"));
        QTest::mouseClick(Label("lblTextMsg"), Qt::LeftButton);
        QTest::mouseClick(Label("lblHideFilesSize"), Qt::LeftButton);
        QCOMPARE(CurrentRevealPage(), QStringLiteral("tsOutputFiles"));

        // A new picture zeroes the panel: the lines are black and clicks do nothing.
        m_window->ShowImage(QString());
        QVERIFY(!m_window->LinksActive());
        QCOMPARE(TextColour(Label("lblTextMsg")), QColor(Qt::black));
        QVERIFY(!Label("lblTextMsg")->testAttribute(Qt::WA_SetCursor));
        QTest::mouseClick(Label("lblTextMsg"), Qt::LeftButton);
        QCOMPARE(CurrentRevealPage(), QStringLiteral("tsOutputFiles"));
    }

    void fileLinesAreUnderlinedTogether() {
        QLabel* files = Label("lblHideFiles");
        QLabel* filesSize = Label("lblHideFilesSize");
        QLabel* message = Label("lblTextMsg");

        Hover(files); // inactive lines have no hover effect
        QVERIFY(!files->font().underline());

        m_window->ShowImageInfo(Trailer(5000, 20000));
        Hover(files);
        QVERIFY(files->font().underline());
        QVERIFY(filesSize->font().underline());
        QVERIFY(!message->font().underline());
        MoveOver(Child("grpBoxInfo"), QPoint(250, 150));
        QVERIFY(!files->font().underline());
        QVERIFY(!filesSize->font().underline());

        Hover(filesSize);
        QVERIFY(files->font().underline());
        QVERIFY(filesSize->font().underline());
        QEvent leave(QEvent::Leave); // onto the preview, which resets nothing itself
        QCoreApplication::sendEvent(filesSize, &leave);
        QVERIFY(!files->font().underline());
        QVERIFY(!filesSize->font().underline());
        Hover(message);
        QVERIFY(message->font().underline());
        MoveOver(Child("imgBack"), QPoint(300, 500));
        for (QLabel* label : {files, filesSize, message})
            QVERIFY(!label->font().underline());
    }

    void startLabelsUnderlineOnHoverAndStartTheirEntries() {
        QLabel* hide = Label("lblHide");
        Hover(hide);
        QVERIFY(hide->font().underline());
        MoveOver(Child("pnlMain"), QPoint(380, 360));
        QVERIFY(!hide->font().underline());

        QTest::mouseClick(hide, Qt::LeftButton);
        QVERIFY(Child("pnlMain")->isHidden());
        QVERIFY(!Child("btnUnHide")->isEnabled());
        m_window->ShowMainPanel(true);
        QVERIFY(Child("pnlMain")->isVisible());
        QVERIFY(Child("btnUnHide")->isEnabled());
    }

    void cancellingTheOpenDialogChangesNothing() {
        m_env->Dialogs().pictures.push_back(QString());
        // Enter presses the focused button, as a click does.
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        Child("btnUnHide")->setFocus();
        QTest::keyClick(Child("btnUnHide"), Qt::Key_Return);
        QCOMPARE(m_env->Dialogs().unanswered, 0);
        QVERIFY(m_env->Dialogs().pictures.empty());
        QVERIFY(Child("pnlMain")->isVisible());
        QVERIFY(Child("frameMsg")->isHidden());
        QVERIFY(Child<QLineEdit>("edtFilePath")->text().isEmpty());
    }

    void revealFillsThePanelAndClosingReleasesTheEngine() {
        const QString carrier = m_env->PathOf(QStringLiteral("carrier.png"));
        QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile(test::kOpenedCarrier)),
                            carrier));
        auto* prompt = new TfrmCheckPass(m_window.get());
        m_window->Frame()->SetPasswordPrompt(prompt);
        m_env->Dialogs().pictures.push_back(carrier);
        m_env->Dialogs().execs.push_back([](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("medtPass"))
                ->setText(test::OpenedCarrierPassword());
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(Child<QPushButton>("btnUnHide"), Qt::LeftButton);
        QVERIFY2(m_env->Dialogs().shown.isEmpty(), qPrintable(m_env->Dialogs().Texts().join(u'|')));

        QVERIFY(Child("pnlMain")->isHidden());
        QCOMPARE(Child<QLineEdit>("edtFileName")->text(), QStringLiteral("carrier.png"));
        QCOMPARE(Label("lblFileSize")->text(), QStringLiteral("Image File Size: 1.72 KB"));
        QCOMPARE(Label("lblImgSize")->text(), QStringLiteral("Image Part Size: 1.51 KB"));
        QCOMPARE(Label("lblTextMsg")->text(), QStringLiteral("Hidden Text Messages Size: 0 Byte"));
        QCOMPARE(Label("lblHideFiles")->text(), QStringLiteral("Hidden Files Number: 1"));
        QCOMPARE(Label("lblHideFilesSize")->text(),
                 QStringLiteral("Hidden Files Total Size: 2.80 KB"));
        QVERIFY(m_window->LinksActive());
        QTest::mouseClick(Label("lblHideFiles"), Qt::LeftButton);
        QCOMPARE(CurrentRevealPage(), QStringLiteral("tsOutputFiles"));

        QVERIFY(m_window->Frame()->HoldsCarrier());
        m_window->close();
        QVERIFY(!m_window->Frame()->HoldsCarrier());
    }

    void chosenPictureShowsItsRealSizes_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fileSize");
        QTest::addColumn<QString>("imageSize");
        QTest::newRow("plain picture") << "plain"
                                       << "15.00 KB"
                                       << "15.00 KB";
        QTest::newRow("trailer that does not fit") << "foreign"
                                                   << "15.00 KB"
                                                   << "15.00 KB";
        // Without the trailer's own 60 bytes, as after the password.
        const test::ReferenceNumbers& numbers =
            test::ReferenceCarrierNamed(test::kOpenedCarrier).numbers;
        QTest::newRow("carrier") << "carrier"
                                 << QString::fromStdString(
                                        FormatFileSize(numbers.imageLength + numbers.payloadLength))
                                 << QString::fromStdString(FormatFileSize(numbers.imageLength));
    }
    void chosenPictureShowsItsRealSizes() {
        QFETCH(QString, kind);
        QFETCH(QString, fileSize);
        QFETCH(QString, imageSize);
        const QString path = m_env->PathOf(QStringLiteral("picture.png"));
        if (kind == "carrier") {
            QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile(test::kOpenedCarrier)),
                                path));
        } else {
            std::vector<uint8_t> bytes(15000, 0x55);
            if (kind == "foreign") { // "VZ", version 1, an image part longer than the file
                bytes[15000 - 60 + 52] = 0xFF;
                bytes[15000 - 60 + 53] = 0xFF;
                bytes[15000 - 60 + 56] = 1;
                bytes[15000 - 60 + 57] = 0;
                bytes[15000 - 2] = 'V';
                bytes[15000 - 1] = 'Z';
            }
            test::WriteFile(path.toStdString(), bytes);
        }
        m_window->ShowImage(path);
        QCOMPARE(Label("lblFileSize")->text(), "Image File Size: " + fileSize);
        QCOMPARE(Label("lblImgSize")->text(), "Image Part Size: " + imageSize);
        // What is hidden needs the password.
        QCOMPARE(Label("lblTextMsg")->text(), QStringLiteral("Hidden Text Messages Size: 0 Byte"));
        QCOMPARE(Label("lblHideFiles")->text(), QStringLiteral("Hidden Files Number: 0"));
        QVERIFY(!m_window->LinksActive());
    }

    void keyboardLoadLeavesTheFocusInTheRevealView() {
        const QString carrier = m_env->PathOf(QStringLiteral("carrier.png"));
        QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile(test::kOpenedCarrier)),
                            carrier));
        m_window->Frame()->SetPasswordPrompt(new TfrmCheckPass(m_window.get()));
        m_env->Dialogs().pictures.push_back(carrier);
        m_env->Dialogs().execs.push_back(TypePassword(test::OpenedCarrierPassword()));
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        Child("btnUnHide")->setFocus();
        QTest::keyClick(Child("btnUnHide"), Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(Child("pnlMain")->isHidden()); // a mnemonic clicks after a moment
        QCOMPARE(QApplication::focusWidget(), Child("mmoDeMsg"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(Child("frameMsg")->isHidden());
        QVERIFY(Child("pnlMain")->isVisible());
        QCOMPARE(m_env->Dialogs().unanswered, 0);
    }

    void closingAsksBeforeTypedWorkIsLost() {
        const QString quitQuestion =
            QStringLiteral("The text messages and the files have not been saved into an image. "
                           "Do you want to quit Lumora anyway?");
        // An empty wizard goes without a question.
        QTest::mouseClick(Child<QPushButton>("btnHide"), Qt::LeftButton);
        QVERIFY(m_window->close());
        QVERIFY(m_env->Dialogs().shown.isEmpty());

        m_window->show();
        QTest::mouseClick(Child<QPushButton>("btnHide"), Qt::LeftButton);
        Child<QComboBox>("cbbFiles")->setEditText(QStringLiteral("/pictures/cat.jpg"));
        Child<QPushButton>("btnNext1")->click();
        Child<QPlainTextEdit>("mmoMsg")->setPlainText(QStringLiteral("typed"));
        m_env->Dialogs().answers.push_back(Answer::No);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_env->Dialogs().shown.size(), 1);
        QCOMPARE(m_env->Dialogs().shown[0].kind, QStringLiteral("question"));
        QCOMPARE(m_env->Dialogs().shown[0].text, quitQuestion);
        QCOMPARE(Child<QPlainTextEdit>("mmoMsg")->toPlainText(), QStringLiteral("typed"));
        m_env->Dialogs().answers.push_back(Answer::Yes);
        QVERIFY(m_window->close());
        QCOMPARE(m_env->Dialogs().unanswered, 0);
    }

    void loadDialogStartsInPicturesThenInTheLastFolder() {
        const QByteArray oldHome = qgetenv("HOME");
        const QString home = m_env->PathOf(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home + "/Pictures"));
        QVERIFY(QDir().mkpath(m_env->PathOf(QStringLiteral("photos"))));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
        auto& dialogs = m_env->Dialogs();
        dialogs.pictures.push_back(m_env->PathOf(QStringLiteral("photos/plain.png")));
        dialogs.pictures.push_back(QString()); // cancelled: nothing to remember
        dialogs.pictures.push_back(QString());
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(Child<QPushButton>("btnUnHide"), Qt::LeftButton);
        QCOMPARE(dialogs.startFolders,
                 QStringList({home + "/Pictures", m_env->PathOf(QStringLiteral("photos")),
                              m_env->PathOf(QStringLiteral("photos"))}));
        qputenv("HOME", oldHome);
        qunsetenv("XDG_CONFIG_HOME");
    }

    void pictureFromTheCommandLineOpensOrStartsTheWizard() {
        // One that cannot be opened is told, a pipe without blocking; the start panel stays.
        QCOMPARE(::mkfifo(QFile::encodeName(m_env->PathOf("pipe.png")).constData(), 0600), 0);
        QStringList told;
        for (const QString& path : {m_env->PathOf("missing.png"), m_env->PathOf("pipe.png")}) {
            m_window->OpenPicture(path);
            told.append(path + " cannot be opened. Please check that the file exists and that "
                               "you may read it.");
        }
        QCOMPARE(m_env->Dialogs().Texts(), told);
        QVERIFY(Child("pnlMain")->isVisible());
        // Any other picture, once the user chose to hide data into it, starts the wizard
        // with it, first in the recent list.
        const QString plain = m_env->WritePicture(QStringLiteral("plain.png"), 20, 20);
        QDir::setCurrent(QString::fromStdString(m_env->Folder()));
        m_env->Dialogs().answers.push_back(Answer::No);
        m_window->OpenPicture(QStringLiteral("plain.png"));
        QCOMPARE(m_env->Dialogs().shown.size(), 3);
        QCOMPARE(m_env->Dialogs().shown[2].kind, QStringLiteral("question3"));
        QVERIFY(Child("pnlMain")->isHidden());
        QVERIFY(Child("pnlEnCodeImage")->isVisible());
        QCOMPARE(Child<QComboBox>("cbbFiles")->currentText(), plain);
        QCOMPARE(m_window->Frame()->RecentImages().first(), plain);
        QCOMPARE(Child<QLineEdit>("edtFilePath")->text(), plain);
        Child<QPushButton>("btnCencel1")->click();

        // A carrier opens behind the password prompt, as "Load Data from Image" opens it.
        const QString carrier = m_env->PathOf(QStringLiteral("carrier.png"));
        QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile(test::kOpenedCarrier)),
                            carrier));
        m_window->Frame()->SetPasswordPrompt(new TfrmCheckPass(m_window.get()));
        m_env->Dialogs().execs.push_back(TypePassword(test::OpenedCarrierPassword()));
        m_window->OpenPicture(carrier);
        QVERIFY(Child("pnlMain")->isHidden());
        QVERIFY(Child("pnlDecodeImage")->isVisible());
        QCOMPARE(m_window->Frame()->ImagePath(), carrier);
        QVERIFY(m_window->LinksActive());
        QCOMPARE(m_env->Dialogs().unanswered, 0);
    }

    void doubleClickSelectsTheWholePath() {
        const QString path = m_env->WritePicture(QStringLiteral("two words.png"), 10, 10);
        m_window->ShowImage(path);
        auto* edit = Child<QLineEdit>("edtFilePath");
        QTest::mouseDClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(edit->selectedText(), path);
    }
};

QTEST_MAIN(TfrmMainTest)
#include "TfrmMainTest.moc"
