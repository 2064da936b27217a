// SPDX-License-Identifier: GPL-2.0-or-later
// The interface language: which file the program picks, the Language menu's choice, and
// the German file shipped beside English.ini: complete, and every caption whole in it.
#include "AppTestSupport.h"

#include "app/LanguageChoice.h"
#include "app/StartUp.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "engine/CarrierTrailer.h"
#include "workflow/TframeMsg.h"
#include "workflow/TfrmCheckPass.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>

using namespace lumora;
using lumora::test::AppTestEnvironment;

namespace {

// Controls whose caption is cut: a button narrower than its text, a one-line label
// narrower than its text or running past its parent's edge.
QStringList CutCaptions(const QWidget* window) {
    QStringList cut;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->isVisible() && button->width() < button->sizeHint().width())
            cut.append(button->objectName() + ": " + button->text());
    }
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->wordWrap() || label->text().isEmpty())
            continue;
        if (label->width() < label->sizeHint().width() ||
            label->geometry().right() >= label->parentWidget()->width())
            cut.append(label->objectName() + ": " + label->text());
    }
    return cut;
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;

    QString LangFolder() const { return m_env->PathOf(QStringLiteral("lang")); }
    void ShipGerman() {
        QVERIFY(QDir().mkpath(LangFolder()));
        QVERIFY(QFile::copy(QStringLiteral(LUMORA_LANGUAGE_DIR "/German.ini"),
                            LangFolder() + "/German.ini"));
    }

private slots:
    void init() { m_env = std::make_unique<AppTestEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void fileForTheFirstFittingInterfaceLanguage_data() {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("file");
        QTest::newRow("German first") << QStringList{"de-DE", "de", "en-US"} << "German.ini";
        QTest::newRow("English first") << QStringList{"en-GB", "de"} << "English.ini";
        QTest::newRow("same language, other country") << QStringList{"de-AT"} << "German.ini";
        QTest::newRow("exact country wins") << QStringList{"pt-BR", "pt"} << "Brasil.ini";
        QTest::newRow("first that fits") << QStringList{"fr-FR", "fr", "pt"} << "Portugal.ini";
        QTest::newRow("underscores") << QStringList{"pt_PT"} << "Portugal.ini";
        QTest::newRow("none fits") << QStringList{"fr-FR", "C"} << "";
    }
    void fileForTheFirstFittingInterfaceLanguage() {
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, file);
        const QList<LanguageFile> files{{"English.ini", "en", "English"},
                                        {"German.ini", "de", "Deutsch"},
                                        {"Portugal.ini", "pt-PT", "Português"},
                                        {"Brasil.ini", "pt-BR", "Português do Brasil"}};
        QCOMPARE(FileForLanguages(files, uiLanguages), file);
    }

    void menuChoiceIsKeptAndWinsOverTheSystem() {
        ShipGerman();
        ProgramWindows windows = CreateWindows(); // in English, the default
        NameDefaultLanguage();
        // A file that names no locale is no language file.
        test::WriteText((LangFolder() + "/Notes.ini").toStdString(), "[TfrmMain]\nx=y\n");

        // The menu lists the files that name their locale, by their own names, after the
        // system's entry, which is checked.
        QMenu* menu = windows.main->findChild<QMenu*>(QStringLiteral("mniLanguage"));
        QVERIFY(menu != nullptr);
        emit menu->aboutToShow();
        QStringList entries;
        for (const QAction* action : menu->actions())
            entries.append(action->text() + (action->isChecked() ? "*" : ""));
        QCOMPARE(entries, QStringList({"System Language*", "English", "Deutsch"}));

        // Choosing German keeps it for the next start, whatever the system speaks.
        menu->actions().at(2)->trigger();
        QCOMPARE(ChosenLanguageFile(), QStringLiteral("German.ini"));
        QCOMPARE(PickLanguageFile(), QStringLiteral("German.ini"));
        QCOMPARE(m_env->Dialogs().Texts(),
                 QStringList{"Lumora will use the chosen language the next time it starts."});
        emit menu->aboutToShow();
        QVERIFY(!menu->actions().at(0)->isChecked());
        QVERIFY(menu->actions().at(2)->isChecked());
        // Choosing what is in use says nothing.
        menu->actions().at(1)->trigger();
        QCOMPARE(m_env->Dialogs().shown.size(), 1);

        // A chosen file that has gone leaves the choice to the system again.
        ChooseLanguageFile(QStringLiteral("German.ini"));
        QVERIFY(QFile::remove(LangFolder() + "/German.ini"));
        QCOMPARE(PickLanguageFile(), QStringLiteral("English.ini"));
    }

    // Last: the German translations stay installed in the process.
    void germanIsCompleteAndCutsNoCaption() {
        ShipGerman();
        const std::string shipped = test::ReadText((LangFolder() + "/German.ini").toStdString());
        UseLanguageFile(*qApp, QStringLiteral("German.ini"));
        ProgramWindows windows = CreateWindows();
        TfrmMain* main = windows.main.get();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));

        // Complete: building every window wrote nothing into the file.
        QCOMPARE(test::ReadText((LangFolder() + "/German.ini").toStdString()), shipped);
        QVERIFY(!QFile::exists(m_env->LanguageFile()));
        QCOMPARE(main->findChild<QPushButton*>(QStringLiteral("btnHide"))->text(),
                 QStringLiteral("&Daten in Bild verstecken"));
        QCOMPARE(main->size(), QSize(750, 516));
        // Qt's own texts follow.
        QMessageBox box(QMessageBox::Question, "t", "t", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));

        main->ShowImageInfo(CarrierTrailer{
            {}, {}, 999000000, 100, 999000000, {}, 999000000, 999000000, 1, {'V', 'Z'}});
        QVERIFY2(CutCaptions(main).isEmpty(), qPrintable(CutCaptions(main).join(" | ")));

        main->findChild<QPushButton*>(QStringLiteral("btnHide"))->click();
        auto* pages = main->findChild<QStackedWidget*>(QStringLiteral("pgcEncodeImage"));
        main->findChild<QComboBox*>(QStringLiteral("cbbFiles"))->setEditText("/tmp/x.png");
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QCoreApplication::processEvents();
            QVERIFY2(CutCaptions(main).isEmpty(), qPrintable(CutCaptions(main).join(" | ")));
        }
        pages->setCurrentIndex(0);
        main->findChild<QPushButton*>(QStringLiteral("btnCencel1"))->click();

        const QString carrier = m_env->PathOf(QStringLiteral("carrier.png"));
        QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile(test::kOpenedCarrier)),
                            carrier));
        QCOMPARE(main->Frame()->LoadFromImage(carrier, test::OpenedCarrierPassword()), 1);
        auto* tabs = main->findChild<QTabWidget*>(QStringLiteral("pgcDecodeImage"));
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            QVERIFY2(CutCaptions(main).isEmpty(), qPrintable(CutCaptions(main).join(" | ")));
        }
        for (QWidget* dialog :
             {static_cast<QWidget*>(windows.prompt), static_cast<QWidget*>(windows.about)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QVERIFY2(CutCaptions(dialog).isEmpty(), qPrintable(CutCaptions(dialog).join(" | ")));
            dialog->hide();
        }
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
