// SPDX-License-Identifier: GPL-2.0-or-later
// The main window when the desktop session ends: the question about unsaved work only
// where the session manager lets the program ask, and nothing decrypted kept once the
// session may end, though never taken from beneath a running operation.
#include "AppTestSupport.h"

#include "app/SessionEnd.h"
#include "app/TfrmMain.h"
#include "workflow/ProgressWatch.h"
#include "workflow/TframeMsg.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

using namespace lumora;

class SessionEndTest : public QObject {
    Q_OBJECT
private slots:
    void sessionEndAsksOnlyWhereItMay_data() {
        QTest::addColumn<bool>("mayAsk");
        QTest::addColumn<bool>("running"); // an operation behind a progress dialog
        QTest::addColumn<bool>("mayEnd");
        QTest::newRow("asked, work kept") << true << false << false;
        QTest::newRow("nobody to ask") << false << false << true;
        QTest::newRow("nobody to ask, an operation running") << false << true << true;
    }
    void sessionEndAsksOnlyWhereItMay() {
        QFETCH(bool, mayAsk);
        QFETCH(bool, running);
        QFETCH(bool, mayEnd);
        test::AppTestEnvironment env;
        TfrmMain window;
        const QString carrier = env.PathOf(QStringLiteral("carrier.png"));
        QVERIFY(QFile::copy(QString::fromStdString(test::ReferenceFile("zero-check-record.png")),
                            carrier));
        QCOMPARE(window.Frame()->LoadFromImage(carrier, "correct horse battery staple"), 1);
        window.findChild<QPlainTextEdit*>(QStringLiteral("mmoDeMsg"))->setPlainText("edited");
        {
            std::optional<ProgressWatch> watch;
            if (running)
                watch.emplace(
                    &window, "Saving", [](const char* key) { return key; }, true);
            QCOMPARE(window.SessionEnding()->CommitData(mayAsk), mayEnd);
            QCOMPARE(env.Dialogs().shown.size(), mayAsk ? 1 : 0);
            // The last close asks nothing more, and takes nothing from the operation.
            QCOMPARE(window.close(), mayEnd);
            QCOMPARE(window.Frame()->HoldsCarrier(), !mayEnd || running);
        }
        QTRY_COMPARE(window.Frame()->HoldsCarrier(), !mayEnd);
    }
};

QTEST_MAIN(SessionEndTest)
#include "SessionEndTest.moc"
