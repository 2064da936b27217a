// SPDX-License-Identifier: GPL-2.0-or-later
// The program's message boxes and its password prompt are dialogs to a window manager: no
// minimise or maximise button, a fixed size, and kept above the window they belong to.
#include "AppTestSupport.h"

#include "qtadapters/Dialogs.h"
#include "workflow/TfrmCheckPass.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace lumora;
using lumora::test::AppTestEnvironment;

namespace {

struct SeenWindow {
    Qt::WindowFlags flags;
    QWidget* owner = nullptr;
    bool fixedSize = false;
};

SeenWindow Look(QWidget* window) {
    return {window->windowFlags(), window->parentWidget(),
            window->minimumSize() == window->maximumSize()};
}

void CheckIsDialog(const SeenWindow& seen) {
    QCOMPARE(seen.flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(seen.flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!seen.flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!seen.flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(seen.flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(seen.fixedSize);
}

} // namespace

class DialogWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;

private slots:
    void init() {
        m_env = std::make_unique<AppTestEnvironment>();
        SetDialogs(nullptr); // the Qt dialogs
    }
    void cleanup() { m_env.reset(); }

    void messageBoxesAreDialogsOfTheirWindow_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("withOwner");
        QTest::newRow("error") << "error" << true;
        QTest::newRow("information") << "information" << true;
        QTest::newRow("question") << "question" << true;
        QTest::newRow("question with Cancel") << "question3" << true;
        // An error caught while no window named itself still belongs to the main window.
        QTest::newRow("error without owner") << "error" << false;
    }
    void messageBoxesAreDialogsOfTheirWindow() {
        QFETCH(QString, kind);
        QFETCH(bool, withOwner);
        QWidget main;
        auto* child = new QLabel(&main);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        SeenWindow seen;
        QTimer::singleShot(0, this, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = Look(box);
                box->done(0);
            }
        });
        QWidget* owner = withOwner ? child : nullptr;
        if (kind == "error")
            Dialogs().Error(owner, QStringLiteral("Title"), QStringLiteral("Text"));
        else if (kind == "information")
            Dialogs().Information(owner, QStringLiteral("Title"), QStringLiteral("Text"));
        else if (kind == "question")
            Dialogs().QuestionYesNo(owner, QStringLiteral("Title"), QStringLiteral("Text"));
        else
            Dialogs().QuestionYesNoCancel(owner, QStringLiteral("Title"), QStringLiteral("Text"));
        CheckIsDialog(seen);
        QCOMPARE(seen.owner, &main);
    }

    void passwordPromptIsADialogOfFixedSize() {
        QWidget main;
        main.show();
        TfrmCheckPass prompt(&main);
        for (int failed : {0, 1}) {
            prompt.SetPasswordFailed(failed);
            prompt.show();
            QVERIFY(QTest::qWaitForWindowExposed(&prompt));
            CheckIsDialog(Look(&prompt));
            QCOMPARE(prompt.parentWidget(), &main);
            // The error line fits: the prompt is as tall as its contents.
            QCOMPARE(prompt.height(), prompt.sizeHint().height());
            prompt.hide();
        }
    }
};

QTEST_MAIN(DialogWindowsTest)
#include "DialogWindowsTest.moc"
