// SPDX-License-Identifier: GPL-2.0-or-later
// Proposed file names.
#include "workflow/PathParts.h"

#include <QTest>

using namespace lumora;

class PartsTest : public QObject {
    Q_OBJECT
private slots:
    void proposedNames();
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

QTEST_MAIN(PartsTest)
#include "PartsTest.moc"
