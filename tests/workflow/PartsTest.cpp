// SPDX-License-Identifier: GPL-2.0-or-later
// The small helpers of the workflow: line breaks of the message, proposed file names, the
// replacing copy and the carrier writer's refusal to lose files.
#include "workflow/CarrierWriter.h"
#include "workflow/FileCopy.h"
#include "workflow/MemoText.h"
#include "workflow/PathParts.h"

#include "engine/BindImage.h"
#include "platform/ProgramFolders.h"
#include "support/TestFiles.h"

#include <QTest>

using namespace lumora;
using namespace lumora::test;

class PartsTest : public QObject {
    Q_OBJECT
private slots:
    void messageLineBreaks();
    void proposedNames();
    void copyReplacesOnlyWhenComplete();
    void writerFailsRatherThanDropAFile();
};

void PartsTest::messageLineBreaks() {
    QCOMPARE(ToStoredMessage("a\nb\n\nc"), std::string("a\r\nb\r\n\r\nc"));
    QCOMPARE(ToStoredMessage("a\r\nb"), std::string("a\r\nb"));
    QCOMPARE(ToStoredMessage(QString::fromUtf8("Grüße\n日本")), std::string("Grüße\r\n日本"));
    QCOMPARE(FromStoredMessage("a\r\nb\r\n"), QStringLiteral("a\nb\n"));
    QCOMPARE(FromStoredMessage(ToStoredMessage("x\ny")), QStringLiteral("x\ny"));
}

void PartsTest::proposedNames() {
    QCOMPARE(NewCarrierName("/pics/cat.jpg"), QStringLiteral("cat_new.jpg"));
    QCOMPARE(NewCarrierName("/pics/picture"), QStringLiteral("picture_new"));
    QCOMPARE(NewCarrierName("/pics.d/archive.tar.gz"), QStringLiteral("archive.tar_new.gz"));
    const PathParts parts = SplitPath("/pics.d/picture");
    QCOMPARE(parts.folder, QStringLiteral("/pics.d/"));
    QCOMPARE(parts.name, QStringLiteral("picture"));
    QCOMPARE(parts.extension, QString());
}

void PartsTest::copyReplacesOnlyWhenComplete() {
    TempDir dir;
    WriteText(dir / "from", "new content");
    WriteText(dir / "to", "old");
    QVERIFY(CopyFileReplacing(QString::fromStdString(dir / "from"),
                              QString::fromStdString(dir / "to")));
    QCOMPARE(ReadText(dir / "to"), std::string("new content"));
    QVERIFY(
        CopyFileReplacing(QString::fromStdString(dir / "to"), QString::fromStdString(dir / "to")));
    QCOMPARE(ReadText(dir / "to"), std::string("new content"));
    QVERIFY(!CopyFileReplacing(QString::fromStdString(dir / "missing"),
                               QString::fromStdString(dir / "to")));
    QCOMPARE(ReadText(dir / "to"), std::string("new content"));
}

void PartsTest::writerFailsRatherThanDropAFile() {
    TempDir dir;
    SetProgramFolderOverride(dir.Path());
    const std::string image = dir / "image.gif";
    WriteFile(image, ReadFile(ReferenceFile("base.gif")));
    CarrierContent content;
    content.source = image;
    content.password = "pw";
    content.keptSlots = {5}; // the plain image hides nothing in slot 5
    {
        CBindImage engine;
        QCOMPARE(WriteCarrier(engine, content, dir / "out.gif"), 0);
    }
    QVERIFY(!FileExists(dir / "out.gif"));

    content.keptSlots.clear();
    for (int i = 0; i < kSlotCount + 1; ++i) {
        const std::string file = dir / ("f" + std::to_string(i));
        WriteText(file, "x");
        content.addedFiles.push_back(file);
    }
    {
        CBindImage engine;
        QCOMPARE(WriteCarrier(engine, content, dir / "out.gif"), 0);
    }
    QVERIFY(!FileExists(dir / "out.gif"));
    content.addedFiles.pop_back();
    {
        CBindImage engine;
        QCOMPARE(WriteCarrier(engine, content, dir / "out.gif"), 1);
    }
    SetProgramFolderOverride(std::string());
}

QTEST_MAIN(PartsTest)
#include "PartsTest.moc"
