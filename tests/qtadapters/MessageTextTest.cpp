// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/TfrmMain.h"
#include "qtadapters/MessageFormat.h"
#include "qtadapters/NameFilters.h"

#include <QTest>

using namespace lumora;

class MessageTextTest : public QObject {
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

    // The main window and the wizard name the entry of every picture differently and
    // offer the same kinds.
    void pictureDialogsShareTheirKinds() {
        const QStringList main = ToQtNameFilters(PictureFilter(QStringLiteral("All Image")));
        const QStringList wizard = ToQtNameFilters(PictureFilter(QStringLiteral("All")));
        QCOMPARE(wizard.size(), main.size());
        QCOMPARE(wizard.mid(1), main.mid(1));
        QVERIFY(wizard.first().startsWith(QLatin1String("All (*.pcx;")));
        QCOMPARE(QStringLiteral("All Image") + wizard.first().mid(3), main.first());
    }
};

QTEST_MAIN(MessageTextTest)
#include "MessageTextTest.moc"
