// SPDX-License-Identifier: GPL-2.0-or-later
#include "AppTestSupport.h"

#include "app/HelpLauncher.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"

#include <QAction>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using lumora::test::AppTestEnvironment;

class HelpAboutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;

    QString Bin() const { return m_env->PathOf(QStringLiteral("prefix/bin")); }
    void Touch(const QString& relativeToBin) {
        const QString path = QDir::cleanPath(Bin() + u'/' + relativeToBin);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        test::WriteText(path.toStdString(), "<html></html>");
    }

private slots:
    void init() {
        m_env = std::make_unique<AppTestEnvironment>();
        QVERIFY(QDir().mkpath(Bin()));
    }
    void cleanup() { m_env.reset(); }

    void helpFileIsLookedForBesideTheProgram() {
        Touch(QStringLiteral("../share/lumora/help/index.html"));
        QCOMPARE(HelpLauncher(Bin()).Target(),
                 m_env->PathOf(QStringLiteral("prefix/share/lumora/help/index.html")));
        Touch(QStringLiteral("help/index.html"));
        QCOMPARE(HelpLauncher(Bin()).Target(), Bin() + QStringLiteral("/help/index.html"));
        Touch(QStringLiteral("Lumora.chm"));
        QCOMPARE(HelpLauncher(Bin()).Target(), Bin() + QStringLiteral("/Lumora.chm"));
        QVERIFY(HelpLauncher(QString()).Target().isEmpty());
    }

    void helpIsResolvedOnceAndReused() {
        Touch(QStringLiteral("help/index.html"));
        HelpLauncher help(Bin());
        QVERIFY(help.Open());
        Touch(QStringLiteral("Lumora.chm"));
        QVERIFY(help.Open());
        const QString manual = Bin() + QStringLiteral("/help/index.html");
        QCOMPARE(m_env->Dialogs().opened, QStringList({manual, manual}));
    }

    void missingHelpShowsNothingAndIsLookedForAgain() {
        HelpLauncher help(Bin());
        QVERIFY(!help.Open());
        QVERIFY(m_env->Dialogs().opened.isEmpty());
        QVERIFY(m_env->Dialogs().shown.isEmpty());
        Touch(QStringLiteral("help/index.html"));
        QVERIFY(help.Open());
        QCOMPARE(m_env->Dialogs().opened.size(), 1);
    }

    void enterAndEscapeCloseTheAboutBox_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void enterAndEscapeCloseTheAboutBox() {
        QFETCH(int, key);
        QFETCH(int, result);
        TfrmAbout about;
        about.setResult(-1);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key(key));
        QVERIFY(about.isHidden());
        QCOMPARE(about.result(), result);
    }

    void aboutBoxNamesNoWebAddress() {
        // The program has no web site; an address shown there would lead somewhere else.
        TfrmAbout about;
        about.show();
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            QVERIFY2(!label->text().contains(QStringLiteral("://")), qPrintable(label->text()));
            QVERIFY(!label->text().contains(QStringLiteral("Web Site")));
        }
        QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(250, 70));
        QVERIFY(m_env->Dialogs().opened.isEmpty());
    }

    void aboutBoxTranslatesOnlyCaptionAndClose() {
        QVERIFY(QDir().mkpath(m_env->PathOf(QStringLiteral("lang"))));
        test::WriteText(m_env->LanguageFile().toStdString(),
                        "[TfrmAbout]\nfrmAbout_Caption=Über Lumora\nbtnClose_Caption=&Schließen\n"
                        "lbl1_Caption=Something else\nlbl2_Caption=Hinweis\n");
        TfrmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("Über Lumora"));
        QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("btnClose"))->text(),
                 QStringLiteral("&Schließen"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lbl1"))->text(),
                 QStringLiteral("Lumora 2.6"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lbl2"))->text(),
                 QStringLiteral("\u00A9 2026 The Lumora developers \u00B7 free software, GPL"));
    }

    void helpMenuShowsTheAboutBox() {
        TfrmMain window;
        TfrmAbout about(&window);
        window.SetAboutBox(&about);
        QDialog* shown = nullptr;
        m_env->Dialogs().execs.push_back([&shown](QDialog* dialog) {
            shown = dialog;
            return int(QDialog::Accepted);
        });
        QMenu* menu = window.HelpMenu();
        QCOMPARE(menu->actions().size(), 4); // then a separator and the Language menu
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Help ..."));
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("About ..."));
        QCOMPARE(menu->actions().at(3)->text(), QStringLiteral("Language"));
        menu->actions().at(1)->trigger();
        QCOMPARE(shown, &about);
    }
};

QTEST_MAIN(HelpAboutTest)
#include "HelpAboutTest.moc"
