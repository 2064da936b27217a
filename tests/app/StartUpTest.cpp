// SPDX-License-Identifier: GPL-2.0-or-later
#include "AppTestSupport.h"

#include "app/LumoraApplication.h"
#include "app/StartUp.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "platform/ProgramFolders.h"
#include "workflow/TframeMsg.h"
#include "workflow/TfrmCheckPass.h"

#include <QTest>
#include <stdexcept>

using namespace lumora;
using lumora::test::AppTestEnvironment;

namespace {

// An object whose event handler fails, as a faulty window handler would.
class FailingHandler : public QObject {
public:
    bool throwStandard = true;
    int handled = 0;

protected:
    bool event(QEvent*) override {
        ++handled;
        if (throwStandard)
            throw std::runtime_error("Broken handler");
        throw 42;
    }
};

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;

private slots:
    void init() { m_env = std::make_unique<AppTestEnvironment>(); }
    void cleanup() {
        qunsetenv("XDG_CONFIG_HOME");
        m_env.reset();
    }

    void firstRunWritesTheSectionsInStartUpOrder() {
        ProgramWindows windows = CreateWindows();
        QCOMPARE(test::SectionsOf(m_env->LanguageFile()),
                 QStringList({"TframeMsg", "TfrmMain", "TfrmCheckPass", "TfrmAbout"}));
        QVERIFY(!windows.main->isVisible());
        QVERIFY(windows.prompt->isHidden());
        QVERIFY(windows.about->isHidden());

        // A second start finds everything and writes nothing new.
        const std::string before = test::ReadText(m_env->LanguageFile().toStdString());
        windows = ProgramWindows();
        windows = CreateWindows();
        QCOMPARE(test::ReadText(m_env->LanguageFile().toStdString()), before);
    }

    void unwritableLanguageFileStopsStartUp() {
        // Neither the program folder nor the per-user folder can hold the language file.
        const std::string blocker = m_env->Folder() + "/plain-file";
        test::WriteText(blocker, "x");
        SetProgramFolderOverride(blocker);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(blocker + "/config"));
        QString text;
        try {
            CreateWindows();
        } catch (const std::exception& e) {
            text = QString::fromUtf8(e.what());
            ShowErrorBox(std::current_exception());
        }
        QVERIFY2(text.startsWith(QStringLiteral("Unable to write to ")), qPrintable(text));
        QCOMPARE(m_env->Dialogs().shown.size(), 1);
        QCOMPARE(m_env->Dialogs().shown.first().kind, QStringLiteral("error"));
        QCOMPARE(m_env->Dialogs().shown.first().text, text);
    }

    void failingHandlerShowsErrorAndCarriesOn() {
        FailingHandler handler;
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&handler, &event));
        handler.throwStandard = false;
        QVERIFY(!QCoreApplication::sendEvent(&handler, &event));
        QCOMPARE(handler.handled, 2);

        const auto& shown = m_env->Dialogs().shown;
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).kind, QStringLiteral("error"));
        QCOMPARE(shown.at(0).title, QStringLiteral("Lumora"));
        QCOMPARE(shown.at(0).text, QStringLiteral("Broken handler"));
        QCOMPARE(shown.at(1).text, QString()); // an error without text gives an empty box
    }
};

int main(int argc, char** argv) {
    LumoraApplication app(argc, argv);
    StartUpTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartUpTest.moc"
