// SPDX-License-Identifier: GPL-2.0-or-later
// Damaged hidden content in the reveal view: damaged entries are marked and named, intact
// ones still come out (private), Save Image keeps or drops the damage as the user says,
// and a password the carrier could not prove whole is typed again before a save.
#include "workflow/DamageMarks.h"
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include "support/GarbledEntry.h"
#include "support/Sessions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <sys/stat.h>

using namespace lumora;
using namespace lumora::test;

namespace {

// The rows marked as damaged (with an icon), then what a fresh session reads from
// carrier ("!" after the damaged entries, "m" for a message), or the files in folder
// written private (0600).
QStringList Found(const QTreeWidget* list, const std::string& carrier, const std::string& folder) {
    QStringList found;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (RowMarkedDamaged(list, row) && !list->topLevelItem(row)->icon(1).isNull())
            found << "marked " + RowName(list->topLevelItem(row));
    }
    std::unique_ptr<UnlockedCarrier> session;
    int checked = 0;
    if (carrier.empty() || !UnlockAt(carrier, "pw", session).Ok())
        return found;
    static_cast<void>(session->VerifyAll(checked)); // it marks what the test compares
    for (const HiddenEntry& entry : session->Entries())
        found << QString::fromStdString(entry.name) + (entry.damaged ? "!" : "");
    if (session->GetMessageState() != MessageState::None)
        found << "m";
    QStringList files;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        struct stat info {};
        if (::stat(file.path().c_str(), &info) == 0 && (info.st_mode & 0777) == 0600)
            files << "0600 " + QString::fromStdString(file.path().filename().string());
    }
    files.sort();
    return found + files;
}

} // namespace

class DamageTest : public QObject {
    Q_OBJECT
private slots:
    void damageIsMarkedNamedKeptOrDropped_data();
    void damageIsMarkedNamedKeptOrDropped();
    void unprovedPasswordIsTypedAgain_data();
    void unprovedPasswordIsTypedAgain();
};

void DamageTest::damageIsMarkedNamedKeptOrDropped_data() {
    for (const char* column : {"entry", "click", "text", "found"})
        QTest::addColumn<QString>(column);
    QTest::addColumn<int>("at");     // in the entry's stored data; 11: its check byte
    QTest::addColumn<int>("choice"); // keep (0) or drop (1) damage, -1 cancel
    const auto row = [](const char* name, const char* entry, const char* click, const QString& text,
                        const char* found, int at, int choice) {
        QTest::newRow(name) << entry << click << text << found << at << choice;
    };
    const QString ask = "Some of the hidden content is damaged: %1. Do you want to keep it in the "
                        "image as it is stored, still damaged, or leave it out?";
    const QString saveError = "There are some errors when saved, please try again.\n";
    const char* intact = "marked b.bin,a.bin,b.bin!,c.txt,m,0600 a.bin,0600 c.txt";
    row("open", "b.bin", "btnDeOpen", "Data Error\nThe hidden file b.bin is damaged.",
        "marked b.bin,a.bin,b.bin!,c.txt,m", 11, -1);
    row("save out", "b.bin", "btnDeSaveFilesAs",
        saveError + "These hidden files are damaged and were not saved: b.bin", intact, 4000, -1);
    row("keep", "b.bin", "btnDeSave", ask.arg("b.bin"), "marked b.bin,a.bin,b.bin!,c.txt,m", 11, 0);
    row("cancel", "b.bin", "btnDeSave", ask.arg("b.bin"), "marked b.bin,a.bin,b.bin!,c.txt,m", 11,
        -1);
    row("found by the save, drop", "b.bin", "btnDeSave", ask.arg("b.bin"), "a.bin,c.txt,m", 4000,
        1);
    row("message, drop", "veilnote.vnt", "btnDeSave", ask.arg("the text message"),
        "a.bin,b.bin,c.txt", 20, 1);
}

void DamageTest::damageIsMarkedNamedKeptOrDropped() {
    QFETCH(QString, entry);
    QFETCH(QString, click);
    QFETCH(QString, text);
    QFETCH(QString, found);
    QFETCH(int, at);
    QFETCH(int, choice);
    WorkflowBench bench;
    const std::string carrier =
        bench.MakeCarrier("c.png", "pw", "a message long enough for a few cipher blocks",
                          {bench.MakeFile("a.bin", 3000, 1), bench.MakeFile("b.bin", 5000, 2),
                           bench.MakeFile("c.txt", 900, 3)});
    QVERIFY(GarbleEntry(carrier, "pw", entry.toStdString(), at));
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    QCOMPARE(Found(list, {}, {}), at == 11 ? QStringList{"marked " + entry} : QStringList());
    // An empty memo over a message that could not be read says why.
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->placeholderText().isEmpty(), at != 20);
    bench.frame->ShowFilesPage();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setSelected(i == 1 || at == 4000);
    bench.dialogs.folders.push_back(QString::fromStdString(bench.dir / "out"));
    bench.dialogs.choices.push_back(choice);
    std::filesystem::create_directory(bench.dir / "out");
    const mode_t umaskBefore = ::umask(022); // saved out private all the same
    bench.Click(click.toLatin1().constData());
    ::umask(umaskBefore);
    QCOMPARE(bench.dialogs.shown.first().text, text);
    QCOMPARE(bench.dialogs.shown.size(), choice < 0 ? 1 : 2); // the second: saved
    QCOMPARE(bench.dialogs.opened, QStringList());
    QCOMPARE(Found(list, carrier, bench.dir / "out").join(','), found);
}

void DamageTest::unprovedPasswordIsTypedAgain_data() {
    const QString password(40, QLatin1Char('p'));
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("typedAgain"); // empty: not asked
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown"); // the box after the save
    QTest::newRow("proved whole") << "pw"
                                  << "" << true << "information";
    QTest::newRow("same again") << password << password << true << "information";
    QTest::newRow("typo past the key") << password << password.left(39) + "q" << true << "error";
    QTest::newRow("cancelled") << password << password << false << "";
}

void DamageTest::unprovedPasswordIsTypedAgain() {
    QFETCH(QString, password);
    QFETCH(QString, typedAgain);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);
    WorkflowBench bench;
    // Without an entry nothing proves the bytes of the password past the key.
    const std::string carrier = bench.MakeCarrier("c.png", password.toStdString(), "", {});
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), password), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("new");
    int asked = 0;
    bench.dialogs.execs.push_back([&](QDialog* dialog) {
        asked += !dialog->findChild<QLabel*>("lblConfirmPass")->isHidden() &&
                 dialog->findChild<QLabel*>("lblInputPass")->isHidden();
        dialog->findChild<QLineEdit*>("medtPass")->setText(typedAgain);
        return accepted ? QDialog::Accepted : QDialog::Rejected;
    });
    bench.Click("btnDeSave");
    if (shown == "information") // saved under the password typed twice, it is proved
        bench.Click("btnDeSave");
    QCOMPARE(asked + bench.dialogs.unanswered, typedAgain.isEmpty() ? 0 : 1);
    QCOMPARE(bench.dialogs.shown.isEmpty() ? QString() : bench.dialogs.shown.first().kind, shown);
    if (shown == "error")
        QVERIFY(bench.dialogs.shown.first().text.contains("\nThe password could not be proved"));
    QCOMPARE(ReadAnyCarrier(carrier, password.toStdString()).message,
             std::string(shown == "information" ? "new" : ""));
}

QTEST_MAIN(DamageTest)
#include "DamageTest.moc"
