// SPDX-License-Identifier: GPL-2.0-or-later
// Damaged hidden content in the reveal view: the intact entries open, the damaged ones are
// marked and named, a save keeps or drops them as the user says, and a password the
// carrier could not prove whole is typed again before a save under it.
#include "workflow/DamageMarks.h"
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include "support/GarbledEntry.h"
#include "support/Sessions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

using namespace lumora;
using namespace lumora::test;

namespace {

const QString kSaveError = QStringLiteral("There are some errors when saved, please try again.");

// A carrier of a message and a.bin, b.bin, c.txt under "pw" with one entry garbled at `at`
// of its stored data (11 is its check byte, which unlocking reads).
std::string DamagedCarrier(const WorkflowBench& bench, const QString& entry, int at) {
    const std::string carrier =
        bench.MakeCarrier("c.png", "pw", "a message long enough to fill a few cipher blocks",
                          {bench.MakeFile("a.bin", 3000, 1), bench.MakeFile("b.bin", 5000, 2),
                           bench.MakeFile("c.txt", 900, 3)});
    if (carrier.empty() || !GarbleEntry(carrier, "pw", entry.toStdString(), at))
        return {};
    return carrier;
}

// What a fresh session finds in the carrier once it has read everything: each entry's name,
// "(damaged)" after the damaged ones, and the state of the message last.
QStringList ContentsOf(const std::string& carrier) {
    std::unique_ptr<UnlockedCarrier> session;
    if (!UnlockAt(carrier, "pw", session).Ok())
        return {QStringLiteral("not opened")};
    int checked = 0;
    static_cast<void>(session->VerifyAll(checked)); // the marks are what is compared
    QStringList contents;
    for (const HiddenEntry& entry : session->Entries())
        contents.append(QString::fromStdString(entry.name) + (entry.damaged ? " (damaged)" : ""));
    const MessageState state = session->GetMessageState();
    contents.append(state == MessageState::Damaged   ? "message damaged"
                    : state == MessageState::Present ? "message"
                                                     : "no message");
    return contents;
}

int RowOf(const QTreeWidget* list, const QString& name) {
    return static_cast<int>(Names(list).indexOf(name));
}

void SelectRows(QTreeWidget* list, const QStringList& names) {
    list->clearSelection();
    for (const QString& name : names)
        list->topLevelItem(RowOf(list, name))->setSelected(true);
}

} // namespace

class DamageTest : public QObject {
    Q_OBJECT
private slots:
    void damagedRowsAreMarkedAndOpenNamesThem_data();
    void damagedRowsAreMarkedAndOpenNamesThem();
    void savingFilesOutNamesTheDamagedOne_data();
    void savingFilesOutNamesTheDamagedOne();
    void saveImageKeepsOrDropsDamage_data();
    void saveImageKeepsOrDropsDamage();
    void unprovedPasswordIsTypedAgain_data();
    void unprovedPasswordIsTypedAgain();
};

void DamageTest::damagedRowsAreMarkedAndOpenNamesThem_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("at");
    QTest::addColumn<bool>("markedAtLoad");
    QTest::newRow("check byte, found at unlocking") << "a.bin" << 11 << true;
    QTest::newRow("data, found by reading") << "b.bin" << 4000 << false;
}

void DamageTest::damagedRowsAreMarkedAndOpenNamesThem() {
    QFETCH(QString, entry);
    QFETCH(int, at);
    QFETCH(bool, markedAtLoad);
    WorkflowBench bench;
    const std::string carrier = DamagedCarrier(bench, entry, at);
    QVERIFY(!carrier.empty());
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    QCOMPARE(Names(list), QStringList({"a.bin", "b.bin", "c.txt"}));
    const int damaged = RowOf(list, entry);
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const bool marked = row == damaged && markedAtLoad;
        QCOMPARE(RowMarkedDamaged(list, row), marked);
        QCOMPARE(list->topLevelItem(row)->icon(1).isNull(), !marked);
    }

    // An intact file opens; the damaged one is named and marked from then on.
    SelectRows(list, {entry == "a.bin" ? "c.txt" : "a.bin"});
    bench.Click("btnDeOpen");
    QCOMPARE(bench.dialogs.opened.size(), 1);
    SelectRows(list, {entry});
    bench.Click("btnDeOpen");
    QCOMPARE(bench.dialogs.opened.size(), 1);
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("error"));
    QVERIFY(bench.dialogs.shown.last().text.startsWith("Data Error\n"));
    QVERIFY(bench.dialogs.shown.last().text.contains(entry));
    QVERIFY(RowMarkedDamaged(list, damaged));
    QVERIFY(!list->topLevelItem(damaged)->icon(1).isNull());
    QCOMPARE(list->topLevelItem(damaged)->toolTip(1),
             QStringLiteral("The hidden file %1 is damaged.").arg(entry));
    QCOMPARE(list->topLevelItem(damaged == 0 ? 1 : 0)->toolTip(1), QString());
}

void DamageTest::savingFilesOutNamesTheDamagedOne_data() {
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("the damaged file alone")
        << QStringList{"b.bin"} << "The hidden file b.bin is damaged." << QStringList();
    QTest::newRow("every file into a folder")
        << QStringList{"a.bin", "b.bin", "c.txt"}
        << "These hidden files are damaged and were not saved: b.bin"
        << QStringList{"a.bin", "c.txt"};
}

void DamageTest::savingFilesOutNamesTheDamagedOne() {
    QFETCH(QStringList, selected);
    QFETCH(QString, reason);
    QFETCH(QStringList, written);
    WorkflowBench bench;
    const std::string carrier = DamagedCarrier(bench, "b.bin", 4000);
    QVERIFY(!carrier.empty());
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    bench.frame->ShowFilesPage();
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    const std::string out = bench.dir / "out";
    std::filesystem::create_directory(out);
    SelectRows(list, selected);
    if (selected.size() == 1)
        bench.dialogs.savePaths.push_back(QString::fromStdString(out + "/b.bin"));
    else
        bench.dialogs.folders.push_back(QString::fromStdString(out));
    bench.Click("btnDeSaveFilesAs");

    QCOMPARE(bench.dialogs.Texts(), QStringList{kSaveError + "\n" + reason});
    QStringList found;
    for (const auto& file : std::filesystem::directory_iterator(out))
        found.append(QString::fromStdString(file.path().filename().string()));
    found.sort();
    QCOMPARE(found, written);
    for (const QString& name : written)
        QCOMPARE(ReadFile(out + "/" + name.toStdString()),
                 ReadFile(bench.dir / name.toStdString()));
    QVERIFY(RowMarkedDamaged(list, RowOf(list, "b.bin")));
}

void DamageTest::saveImageKeepsOrDropsDamage_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("choice"); // 0 keep, 1 drop, -1 cancel
    QTest::addColumn<QString>("named");
    QTest::addColumn<QStringList>("saved"); // empty: the carrier stays as it was
    const QStringList all{"a.bin", "b.bin", "c.txt"};
    QTest::newRow("known, kept") << "a.bin" << 11 << 0 << "a.bin"
                                 << QStringList{"a.bin (damaged)", "b.bin", "c.txt", "message"};
    QTest::newRow("known, dropped")
        << "a.bin" << 11 << 1 << "a.bin" << QStringList{"b.bin", "c.txt", "message"};
    QTest::newRow("known, cancelled") << "a.bin" << 11 << -1 << "a.bin" << QStringList();
    QTest::newRow("found by the save, kept")
        << "b.bin" << 4000 << 0 << "b.bin"
        << QStringList{"a.bin", "b.bin (damaged)", "c.txt", "message"};
    QTest::newRow("found by the save, dropped")
        << "b.bin" << 4000 << 1 << "b.bin" << QStringList{"a.bin", "c.txt", "message"};
    QTest::newRow("message, kept") << "veilnote.vnt" << 20 << 0 << "the text message"
                                   << (all + QStringList{"message damaged"});
    QTest::newRow("message, dropped")
        << "veilnote.vnt" << 20 << 1 << "the text message" << (all + QStringList{"no message"});
}

void DamageTest::saveImageKeepsOrDropsDamage() {
    QFETCH(QString, entry);
    QFETCH(int, at);
    QFETCH(int, choice);
    QFETCH(QString, named);
    QFETCH(QStringList, saved);
    WorkflowBench bench;
    const std::string carrier = DamagedCarrier(bench, entry, at);
    QVERIFY(!carrier.empty());
    const std::vector<uint8_t> before = ReadFile(carrier);
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    // A memo over a message that could not be read says why it is empty.
    const bool messageDamaged = entry == "veilnote.vnt";
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->placeholderText().isEmpty(), !messageDamaged);

    bench.dialogs.choices.push_back(choice);
    bench.Click("btnDeSave");
    QCOMPARE(bench.dialogs.shown.first().kind, QStringLiteral("choice"));
    QCOMPARE(bench.dialogs.shown.first().text,
             QStringLiteral("Some of the hidden content is damaged: %1. Do you want to keep it in "
                            "the image as it is stored, still damaged, or leave it out?")
                 .arg(named));
    QCOMPARE(bench.dialogs.choiceButtons.first(),
             QStringList({"&Keep It", "&Leave It Out", "&Cancel"}));
    QCOMPARE(bench.dialogs.unanswered, 0);
    if (saved.isEmpty()) {
        QCOMPARE(bench.dialogs.shown.size(), 1);
        QVERIFY(ReadFile(carrier) == before);
        return;
    }
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("information"));
    QCOMPARE(ContentsOf(carrier), saved);
    // The view stands for what was written: a kept entry is still marked.
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        QCOMPARE(RowMarkedDamaged(list, row),
                 saved.contains(RowName(list->topLevelItem(row)) + " (damaged)"));
}

void DamageTest::unprovedPasswordIsTypedAgain_data() {
    const QString longPassword(40, QLatin1Char('p'));
    const QString typo = longPassword.left(35) + "ppppq";
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("typedAgain");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("saved");
    QTest::newRow("proved whole: not asked") << "pw" << false << QString() << true << true;
    QTest::newRow("32 bytes: proved by the key")
        << longPassword.left(32) << false << QString() << true << true;
    QTest::newRow("same again") << longPassword << true << longPassword << true << true;
    QTest::newRow("typo past the key") << longPassword << true << typo << true << false;
    QTest::newRow("cancelled") << longPassword << true << longPassword << false << false;
}

void DamageTest::unprovedPasswordIsTypedAgain() {
    QFETCH(QString, password);
    QFETCH(bool, asked);
    QFETCH(QString, typedAgain);
    QFETCH(bool, accepted);
    QFETCH(bool, saved);
    WorkflowBench bench;
    // Without an entry nothing proves the bytes of the password past the key.
    const std::string carrier = bench.MakeCarrier("c.png", password.toStdString(), "", {});
    QVERIFY(!carrier.empty());
    const std::vector<uint8_t> before = ReadFile(carrier);
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), password), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("new");

    QStringList prompts;
    for (int save = 0; save < 2; ++save) {
        bench.dialogs.execs.push_back([&](QDialog* dialog) {
            const bool confirming = !dialog->findChild<QLabel*>("lblConfirmPass")->isHidden() &&
                                    dialog->findChild<QLabel*>("lblInputPass")->isHidden() &&
                                    dialog->findChild<QLabel*>("lblPassError")->isHidden();
            prompts.append(confirming ? "confirm" : "other");
            dialog->findChild<QLineEdit*>("medtPass")->setText(typedAgain);
            return accepted ? QDialog::Accepted : QDialog::Rejected;
        });
    }
    bench.Click("btnDeSave");
    QCOMPARE(prompts, asked ? QStringList{"confirm"} : QStringList());
    QCOMPARE(bench.frame->IsSaved(), saved);
    if (saved) {
        QCOMPARE(ReadAnyCarrier(carrier, password.toStdString()).message, std::string("new"));
        // Written under the password typed twice, it is proved from then on.
        bench.Click("btnDeSave");
        QCOMPARE(prompts.size(), asked ? 1 : 0);
        return;
    }
    QVERIFY(ReadFile(carrier) == before);
    if (!accepted) {
        QCOMPARE(bench.dialogs.shown.size(), 0);
        return;
    }
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("error"));
    QVERIFY(bench.dialogs.shown.last().text.startsWith(kSaveError + "\nThe password could not be "
                                                                    "proved in full"));
    QVERIFY(bench.frame->HoldsCarrier());
}

QTEST_MAIN(DamageTest)
#include "DamageTest.moc"
