// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers pass between the desktop program and lumora-cli in both directions.
#include "support/CliRunner.h"
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

using namespace lumora;
using namespace lumora::test;

namespace {

// Runs the released lumora-cli with the password in its environment.
CliResult RunWithPassword(const std::vector<std::string>& args, const std::string& password) {
    CliOptions options;
    options.released = true;
    options.environment = {{"LUMORA_PASSWORD", password}};
    return RunCli(args, options);
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
    const CliResult hidden =
        RunWithPassword({"hide", image, "-o", carrier, "-m", "made by the cli", file}, "cli pass");
    QVERIFY2(hidden.status == 0, hidden.err.c_str());

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
    const CliResult revealed = RunWithPassword({"reveal", carrier, "-d", out}, "wizard pass");
    QVERIFY2(revealed.status == 0, revealed.err.c_str());
    QVERIFY(revealed.out.starts_with("made by the wizard"));
    QVERIFY(ReadFile(out + "/notes.txt") == ReadFile(file));
}

QTEST_MAIN(CliInteropTest)
#include "CliInteropTest.moc"
