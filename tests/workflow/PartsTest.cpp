// SPDX-License-Identifier: GPL-2.0-or-later
// Proposed file names, and the carrier writer's refusal to lose a file.
#include "workflow/CarrierWriter.h"
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
    void proposedNames();
    void writerFailsRatherThanDropAFile();
};

void PartsTest::proposedNames() {
    QCOMPARE(NewCarrierName("/pics/cat.jpg"), QStringLiteral("cat_new.jpg"));
    QCOMPARE(NewCarrierName("/pics/picture"), QStringLiteral("picture_new"));
    QCOMPARE(NewCarrierName("/pics.d/archive.tar.gz"), QStringLiteral("archive.tar_new.gz"));
    const PathParts parts = SplitPath("/pics.d/picture");
    QCOMPARE(parts.folder, QStringLiteral("/pics.d/"));
    QCOMPARE(parts.name, QStringLiteral("picture"));
    QCOMPARE(parts.extension, QString());
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
