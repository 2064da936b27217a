// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/CommandLine.h"
#include "app/MessageFormat.h"
#include "app/NameFilters.h"
#include "app/TfrmMain.h"

#include <QTest>

using namespace lumora;

class TextHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void editedFormatsAreFilledSafely() {
        const QString size = QStringLiteral("25.00 KB");
        QCOMPARE(FormatMessage(QStringLiteral("100%% of %s"), size),
                 QStringLiteral("100% of 25.00 KB"));
        // Conversions without a value are kept as written instead of reading past the value.
        QCOMPARE(FormatMessage(QStringLiteral("%s and %s %n %p"), size),
                 QStringLiteral("25.00 KB and %s %n %p"));
        QCOMPARE(FormatMessage(QStringLiteral("[%-10s|%%"), size), QStringLiteral("[25.00 KB  |%"));
        QCOMPARE(FormatMessage(QStringLiteral("Files: %d"), 42), QStringLiteral("Files: 42"));
        QVERIFY(FormatMessage(QStringLiteral("%999999999d"), 1).size() <= 256);
    }

    void commandLineTakesOnePicture_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QStringList{} << ""
                                 << "";
        QTest::newRow("a picture") << QStringList{"cat.png"} << "cat.png"
                                   << "";
        QTest::newRow("a name like an option") << QStringList{"--", "-x.png"} << "-x.png"
                                               << "";
        QTest::newRow("a lone dash is a name") << QStringList{"-"} << "-"
                                               << "";
        QTest::newRow("unknown option") << QStringList{"--open", "cat.png"} << ""
                                        << "unknown option '--open'";
        QTest::newRow("two pictures") << QStringList{"a.png", "b.png"} << ""
                                      << "only one picture can be opened";
    }
    void commandLineTakesOnePicture() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, picture);
        QFETCH(QString, error);
        const CommandLine command = ParseCommandLine(arguments);
        QCOMPARE(command.picture, picture);
        QCOMPARE(command.error, error);
    }

    void helpAndVersionAreFoundBeforeQt() {
        const char* help[] = {"lumora", "-platform", "xcb", "--help"};
        const char* version[] = {"lumora", "cat.png", "-V"};
        const char* afterEnd[] = {"lumora", "--", "--help"};
        QCOMPARE(FindEarlyAnswer(4, help), EarlyAnswer::Help);
        QCOMPARE(FindEarlyAnswer(3, version), EarlyAnswer::Version);
        QCOMPARE(FindEarlyAnswer(3, afterEnd), EarlyAnswer::None);
    }

    void pictureFilterBecomesQtNameFilters() {
        const QStringList filters = ToQtNameFilters(TfrmMain::kPictureFilter);
        QCOMPARE(filters.size(), 18);
        QCOMPARE(
            filters.first(),
            QStringLiteral("All Image "
                           "(*.pcx;*.gif;*.ani;*.gif;*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;"
                           "*.wmf;*.png;*.webp;*.tif;*.tiff) (*.pcx *.gif *.ani *.gif *.jpg "
                           "*.jpeg *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.png *.webp *.tif "
                           "*.tiff)"));
        QCOMPARE(filters.at(11), QStringLiteral("Enhanced Metafiles (*.emf) (*.emf)"));
        // "*.*" picks every file, also those without a dot in their name.
        QCOMPARE(filters.last(), QStringLiteral("All (*.*) (*)"));
        QCOMPARE(ToQtNameFilters(QStringLiteral("Texts| *.txt ; ;*.md |Empty||Dangling")),
                 QStringList{QStringLiteral("Texts (*.txt *.md)")});
    }
};

QTEST_MAIN(TextHelpersTest)
#include "TextHelpersTest.moc"
