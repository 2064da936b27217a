// SPDX-License-Identifier: GPL-2.0-or-later
// No message box, question or password prompt may open while a progress dialog lives: a
// dialog still counting towards showing itself would come up above the message and stay.
#include "crypt/PayloadCrypt.h"
#include "engine/TrailerCodec.h"
#include "workflow/WorkflowBench.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTest>
#include <cstdlib>
#include <cstring>

using namespace lumora;
using namespace lumora::test;

namespace {

// Whether a progress dialog is alive anywhere.
bool ProgressDialogLives() {
    for (QWidget* widget : QApplication::allWidgets()) {
        if (qobject_cast<QProgressDialog*>(widget) != nullptr)
            return true;
    }
    return false;
}

// A classic carrier around base.png whose message entry fails its CRC while the file
// beside it is intact: it opens, and a save would lose the message.
std::string CarrierWithDamagedMessage(const WorkflowBench& bench) {
    const std::string archive = bench.dir / "damaged.zip";
    const std::string script = bench.dir / "damaged.py";
    WriteText(script, "import sys, zipfile\n"
                      "path = sys.argv[1]\n"
                      "with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                      "    z.writestr('a.txt', 'a')\n"
                      "    z.writestr('veilnote.vnt', 'hi')\n"
                      "d = bytearray(open(path, 'rb').read())\n"
                      "d[d.rfind(b'PK\\x01\\x02') + 16] ^= 1\n"
                      "d[d.rfind(b'PK\\x03\\x04') + 14] ^= 1\n"
                      "open(path, 'wb').write(d)\n");
    if (std::system(("python3 '" + script + "' '" + archive + "'").c_str()) != 0)
        return {};
    const std::string encrypted = archive + ".enc";
    if (!EncryptPayloadFile(archive.c_str(), encrypted.c_str(), Password("pw")))
        return {};
    std::vector<uint8_t> carrier = ReadFile(ReferenceFile("base.png"));
    const std::vector<uint8_t> payload = ReadFile(encrypted);
    CarrierTrailer trailer{};
    trailer.imageLength = static_cast<int32_t>(carrier.size());
    trailer.payloadLength = static_cast<int32_t>(payload.size());
    trailer.version = 1;
    std::memcpy(trailer.magic, "VZ", 2);
    carrier.insert(carrier.end(), payload.begin(), payload.end());
    const TrailerBytes tail = EncodeTrailer(trailer);
    carrier.insert(carrier.end(), tail.begin(), tail.end());
    const std::string path = bench.dir / "damaged.png";
    WriteFile(path, carrier);
    return path;
}

} // namespace

class MessageOrderTest : public QObject {
    Q_OBJECT
private slots:
    void noDialogOpensUnderAProgressDialog_data();
    void noDialogOpensUnderAProgressDialog();
};

void MessageOrderTest::noDialogOpensUnderAProgressDialog_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("failed save") << "failed save" << QStringList{"error"};
    // Yes: the save goes on behind a progress dialog of its own and writes the carrier.
    QTest::newRow("changed on disk") << "changed on disk" << QStringList{"question", "information"};
    QTest::newRow("would lose the message") << "would lose" << QStringList{"question"};
    QTest::newRow("wrong password")
        << "wrong password" << QStringList{"prompt", "prompt", "prompt", "error"};
}

void MessageOrderTest::noDialogOpensUnderAProgressDialog() {
    QFETCH(QString, situation);
    QFETCH(QStringList, opened);
    WorkflowBench bench;
    // The kind of each box or prompt as it opens, and those that opened over progress.
    QStringList kinds;
    QStringList underBusy;
    bench.dialogs.onShow = [&bench, &kinds, &underBusy] {
        const bool box = bench.dialogs.shown.size() > kinds.size() - kinds.count("prompt");
        kinds.append(box ? bench.dialogs.shown.last().kind : QStringLiteral("prompt"));
        if (ProgressDialogLives())
            underBusy.append(kinds.last());
    };
    std::string carrier =
        situation == "would lose"
            ? CarrierWithDamagedMessage(bench)
            : bench.MakeCarrier("c.png", "pw", "text", {bench.MakeFile("f.bin", 3 << 20, 1)});
    QVERIFY(!carrier.empty());
    const QString path = QString::fromStdString(carrier);
    const std::vector<uint8_t> before = ReadFile(carrier);

    if (situation == "wrong password") {
        for (int attempt = 0; attempt < 3; ++attempt)
            bench.AnswerPrompt(QStringLiteral("wrong"));
        QCOMPARE(bench.frame->LoadFromImage(path, QStringLiteral("also wrong")), 0);
    } else {
        QCOMPARE(bench.frame->LoadFromImage(path, QStringLiteral("pw")), 1);
        bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText(QStringLiteral("edited"));
        if (situation == "failed save") {
            bench.dialogs.savePaths.push_back(path + QStringLiteral("/below-a-file.png"));
            bench.Click("btnDeSaveAs");
        } else {
            if (situation == "changed on disk")
                WriteFile(carrier, ReadFile(bench.MakeCarrier("other.png", "pw", "other", {})));
            bench.dialogs.answers.push_back(situation == "changed on disk" ? Answer::Yes
                                                                           : Answer::No);
            bench.Click("btnDeSave");
        }
    }
    QCOMPARE(kinds, opened);
    QCOMPARE(underBusy, QStringList());
    if (situation == "wrong password") {
        QVERIFY(!bench.frame->HoldsCarrier());
        return;
    }
    QCOMPARE(bench.frame->IsSaved(), situation == "changed on disk");
    if (situation == "changed on disk")
        QCOMPARE(ReadCarrier(carrier, "pw").message, std::string("edited"));
    else
        QVERIFY(ReadFile(carrier) == before);
}

QTEST_MAIN(MessageOrderTest)
#include "MessageOrderTest.moc"
