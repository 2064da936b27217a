// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/MessageFormat.h"
#include "app/NameFilters.h"
#include "app/TfrmMain.h"

#include <QTest>

using namespace lumora;

class TextHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void messagesAreFilledSafely_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << "Image File Size: %s"
                              << "Image File Size: 25.00 KB";
        QTest::newRow("number") << "Hidden Files Number: %d"
                                << "Hidden Files Number: 25.00 KB";
        QTest::newRow("percent") << "100%% of %s"
                                 << "100% of 25.00 KB";
        QTest::newRow("second conversion kept") << "%s and %s %n %p"
                                                << "25.00 KB and %s %n %p";
        QTest::newRow("width") << "[%10s]"
                               << "[  25.00 KB]";
        QTest::newRow("left-justified") << "[%-10s]"
                                        << "[25.00 KB  ]";
        QTest::newRow("no conversion") << "Size"
                                       << "Size";
        QTest::newRow("trailing percent") << "Size %"
                                          << "Size %";
    }
    void messagesAreFilledSafely() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(FormatMessage(format, QStringLiteral("25.00 KB")), expected);
    }

    void numbersAndHugeWidths() {
        QCOMPARE(FormatMessage(QStringLiteral("Hidden Files Number: %d"), 42),
                 QStringLiteral("Hidden Files Number: 42"));
        // A width from an edited language file cannot blow up the text.
        QVERIFY(FormatMessage(QStringLiteral("%999999999d"), 1).size() <= 256);
    }

    void pictureFilterBecomesQtNameFilters() {
        const QStringList filters = ToQtNameFilters(TfrmMain::kPictureFilter);
        QCOMPARE(filters.size(), 14);
        QCOMPARE(
            filters.first(),
            QStringLiteral("All Image "
                           "(*.pcx;*.gif;*.ani;*.gif;*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;"
                           "*.wmf) (*.pcx *.gif *.ani *.gif *.jpg *.jpeg *.jpg *.jpeg *.bmp "
                           "*.ico *.emf *.wmf)"));
        QCOMPARE(filters.at(1), QStringLiteral("PCX Image (*.pcx) (*.pcx)"));
        QCOMPARE(filters.at(11), QStringLiteral("Enhanced Metafiles (*.emf) (*.emf)"));
        // "*.*" picks every file, also those without a dot in their name.
        QCOMPARE(filters.last(), QStringLiteral("All (*.*) (*)"));
    }

    void oddFilterTexts() {
        QCOMPARE(ToQtNameFilters(QString()), QStringList());
        QCOMPARE(ToQtNameFilters(QStringLiteral("Lonely description")), QStringList());
        QCOMPARE(ToQtNameFilters(QStringLiteral("Texts| *.txt ; ;*.md |Empty||Dangling")),
                 QStringList{QStringLiteral("Texts (*.txt *.md)")});
    }
};

QTEST_MAIN(TextHelpersTest)
#include "TextHelpersTest.moc"
