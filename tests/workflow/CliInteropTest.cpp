// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers pass between the desktop program and lumora-cli in both directions.
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

using namespace lumora;
using namespace lumora::test;

namespace {

// Runs lumora-cli with the password in its environment; the exit code, or -1.
int RunCli(const QStringList& arguments, const QString& password, QByteArray* output = nullptr) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMORA_PASSWORD"), password);
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(LUMORA_CLI_PATH), arguments);
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output != nullptr)
        *output = cli.readAllStandardOutput();
    return cli.exitCode();
}

} // namespace

class CliInteropTest : public QObject {
    Q_OBJECT
private slots:
    void cliCarrierOpensInTheRevealView();
    void wizardCarrierOpensInTheCli();
};

void CliInteropTest::cliCarrierOpensInTheRevealView() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.jpg");
    const std::string file = bench.MakeFile("payload.bin", 4096, 11);
    const std::string carrier = bench.dir / "cli.jpg";
    QCOMPARE(RunCli({"hide", QString::fromStdString(image), "-o", QString::fromStdString(carrier),
                     "-m", "made by the cli", QString::fromStdString(file)},
                    "cli pass"),
             0);

    bench.AnswerPrompt("cli pass");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(),
             QStringLiteral("made by the cli"));
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(RowName(list->topLevelItem(0)), QStringLiteral("payload.bin"));
}

void CliInteropTest::wizardCarrierOpensInTheCli() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.bmp");
    const std::string file = bench.MakeFile("notes.txt", 300, 12);
    const std::string carrier = bench.dir / "wizard.bmp";
    bench.HideThroughWizard(image, "made by the wizard", {QString::fromStdString(file)},
                            "wizard pass", carrier);
    QCOMPARE(bench.dialogs.Texts(), QStringList{WorkflowBench::SavedAs(carrier)});

    const std::string out = bench.dir / "out";
    QByteArray message;
    QCOMPARE(RunCli({"reveal", QString::fromStdString(carrier), "-d", QString::fromStdString(out)},
                    "wizard pass", &message),
             0);
    QVERIFY(message.startsWith("made by the wizard"));
    QVERIFY(ReadFile(out + "/notes.txt") == ReadFile(file));
}

QTEST_MAIN(CliInteropTest)
#include "CliInteropTest.moc"
