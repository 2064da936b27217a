// SPDX-License-Identifier: GPL-2.0-or-later
// The reveal view driven end to end: loading behind the password prompt, editing, saving
// in place and as a new file, closing, and the engine's working folder.
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include "engine/BindImage.h"
#include "support/ReferenceCarriers.h"
#include "text/FormatFileSize.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <sys/stat.h>

using namespace lumora;
using namespace lumora::test;

namespace {

const QString kSaveOK = QStringLiteral("The image have been saved successfully.");

QTreeWidgetItem* RowNamed(const QTreeWidget* list, const QString& name) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (RowName(list->topLevelItem(i)) == name)
            return list->topLevelItem(i);
    }
    return nullptr;
}

void SelectOnly(QTreeWidget* list, const QString& name) {
    list->clearSelection();
    QTreeWidgetItem* row = RowNamed(list, name);
    QVERIFY(row != nullptr);
    row->setSelected(true);
}

} // namespace

class RevealTest : public QObject {
    Q_OBJECT
private slots:
    void fileWithoutPayloadShowsNoData();
    void sealedCarrierOpensThroughItsOwnPrompt();
    void threeWrongPasswords();
    void cancelAtSecondAttemptEndsSilently();
    void passwordsTheCheckRecordCannotTell_data();
    void passwordsTheCheckRecordCannotTell();
    void referenceCarriersOpen_data();
    void referenceCarriersOpen();
    void saveImageKeepsDropsAddsAndReloads();
    void saveImageAsNewFileReloadsWithoutPrompt();
    void saveImageAsOntoTheLoadedImage();
    void failedSaveAsKeepsTheView();
    void cancelAsksOnlyAfterEdits();
    void carrierWithEmptyArchive();
    void hiddenFilesOpenFromTheWorkingFolderOnly();
    void fullListAfterDeletingAHiddenFileSavesEveryRow();
    void escapePressesCancel();
    void hiddenFilesSaveIntoAFolderByTheirOwnNames();
    void savingFilesOutAsksAboutEveryClashAndTellsAFailure();
    void savingStaysOnThePageTheUserWasOn_data();
    void savingStaysOnThePageTheUserWasOn();
};

void RevealTest::fileWithoutPayloadShowsNoData() {
    WorkflowBench bench;
    // Too small even for sealed data.
    const std::string tiny = bench.MakeFile("tiny.gif", 100, 1);
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(tiny), QString()), 0);
    QCOMPARE(bench.host.images.last(), QString::fromStdString(tiny));
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("error"));
    QCOMPARE(bench.dialogs.shown.last().title, QStringLiteral("ERROR"));
    QCOMPARE(bench.dialogs.shown.last().text, QStringLiteral("No Data In Image"));
    QVERIFY(bench.promptErrorLines.isEmpty());
    // Pictures without classic data that may hold sealed or woven data are offered the
    // prompt; Cancel ends the load quietly.
    for (const char* name : {"base.png", kVersion2Carrier}) {
        const std::string path = bench.CopyOfReference(name);
        bench.AnswerPrompt(QString(), 0);
        QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(path), QString()), 0);
        QCOMPARE(bench.promptErrorLines.last(), QStringLiteral("sealed hidden"));
        QVERIFY(bench.frame->isHidden());
        QVERIFY(!bench.frame->HoldsCarrier());
    }
    QCOMPARE(bench.frame->LoadFromImage(QString(), QString()), 0);
    QCOMPARE(bench.dialogs.shown.size(), 1);

    // A read-only carrier opens: the engine only reads it.
    const ReferenceCarrier& readOnly = ReferenceCarrierNamed("empty-password.gif");
    const std::string carrier = bench.CopyOfReference(readOnly.file);
    QCOMPARE(::chmod(carrier.c_str(), 0444), 0);
    bench.AnswerPrompt(QString::fromStdString(readOnly.password));
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
}

// Sealed data: its own prompt texts, the attempts off the interface thread, the panel
// filled from the archive, and a save in place that stays sealed under fresh randomness.
void RevealTest::sealedCarrierOpensThroughItsOwnPrompt() {
    const SealedTestFormat testFormat;
    WorkflowBench bench;
    const std::string file = bench.MakeFile("f.bin", 5000, 9);
    const std::string carrier = bench.MakeSealedCarrier("s.png", "right", "sealed\r\ntext", {file});
    QVERIFY(!carrier.empty());
    for (const char* typed : {"wrong", "", "RIGHT"})
        bench.AnswerPrompt(QString::fromLatin1(typed));
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 0);
    QCOMPARE(bench.promptErrorLines,
             (QStringList{"sealed hidden", "sealed shown", "sealed shown"}));
    QCOMPARE(bench.dialogs.Texts(),
             QStringList{QStringLiteral(
                 "No hidden data was found in the image, or the password does not open it.")});
    QVERIFY(!bench.frame->HoldsCarrier());

    bench.AnswerPrompt("nope");
    bench.AnswerPrompt("right");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), QStringLiteral("sealed\ntext"));
    QCOMPARE(Names(bench.Get<QTreeWidget>("lvDeFiles")), QStringList{"f.bin"});
    const CarrierTrailer& info = bench.host.infos.last();
    QCOMPARE(info.fileCount, 1);
    QCOMPARE(info.filesTotalSize, 5000);
    QCOMPARE(info.messageLength, 12);
    QCOMPARE(info.imageLength, static_cast<int32_t>(ReadFile(ReferenceFile("base.png")).size()));
    QCOMPARE(int64_t{info.imageLength} + info.payloadLength,
             static_cast<int64_t>(ReadFile(carrier).size()));

    const auto before = ReadFile(carrier);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("changed");
    bench.Click("btnDeSave");
    QCOMPARE(bench.dialogs.Texts().last(), kSaveOK);
    const CarrierContents contents = ReadAnyCarrier(carrier, "right");
    QCOMPARE(contents.format, CarrierFormat::Sealed);
    QCOMPARE(contents.message, std::string("changed"));
    QVERIFY(contents.files.at("f.bin") == ReadFile(file));
    // A new salt: the tail's first bytes change with every save.
    const auto after = ReadFile(carrier);
    QVERIFY(std::vector<uint8_t>(after.end() - 88, after.end() - 72) !=
            std::vector<uint8_t>(before.end() - 88, before.end() - 72));
    QCOMPARE(bench.dialogs.unanswered, 0);
}

void RevealTest::threeWrongPasswords() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "right", "secret text", {});
    QVERIFY(!carrier.empty());
    for (const char* typed : {"wrong", "", "RIGHT"})
        bench.AnswerPrompt(QString::fromLatin1(typed));
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 0);
    QCOMPARE(bench.promptErrorLines, (QStringList{"hidden", "shown", "shown"}));
    QCOMPARE(bench.dialogs.Texts(), QStringList{QStringLiteral("Password error")});
    QVERIFY(!bench.frame->HoldsCarrier());
    QVERIFY(bench.frame->isHidden());
    QVERIFY(bench.host.infos.isEmpty());

    // The right password on the second attempt opens it.
    bench.AnswerPrompt("nope");
    bench.AnswerPrompt("right");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), QStringLiteral("secret text"));
    QCOMPARE(bench.host.infos.size(), 1);
    QCOMPARE(bench.host.infos[0].messageLength, 11);
}

void RevealTest::cancelAtSecondAttemptEndsSilently() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "right", "text", {});
    bench.AnswerPrompt("wrong");
    bench.AnswerPrompt("right", QDialog::Rejected);
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 0);
    QVERIFY(bench.dialogs.shown.isEmpty());
    QVERIFY(!bench.frame->HoldsCarrier());
    QVERIFY(bench.frame->isHidden());
}

void RevealTest::passwordsTheCheckRecordCannotTell_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");
    const ReferenceCarrier& zero = ReferenceCarrierNamed("zero-check-record.png");
    const ReferenceCarrier& longer = ReferenceCarrierNamed("long-password.jpg");
    QTest::newRow("all-zero check record")
        << QString::fromStdString(zero.file) << QString::fromStdString(zero.password + "r")
        << "Password error";
    QTest::newRow("first 32 bytes of a longer password")
        << QString::fromStdString(longer.file)
        << QString::fromStdString(longer.password.substr(0, 32)) << "Password error";
    QTest::newRow("damaged") << "damaged"
                             << "pw"
                             << "Data Error\nThe hidden data is damaged.";
}

// Such carriers once opened with an empty view, and Save Image then wrote their files away.
void RevealTest::passwordsTheCheckRecordCannotTell() {
    QFETCH(QString, file);
    QFETCH(QString, typed);
    QFETCH(QString, error);
    WorkflowBench bench;
    std::string carrier;
    if (file == "damaged") {
        carrier = bench.MakeCarrier("c.png", "pw", "text", {bench.MakeFile("f.bin", 5000, 1)});
        auto bytes = ReadFile(carrier);
        bytes[bytes.size() - 60 - 20] ^= 0x55;
        WriteFile(carrier, bytes);
    } else {
        carrier = bench.CopyOfReference(file.toStdString());
    }
    const auto before = ReadFile(carrier);
    for (int attempt = 0; attempt < 3; ++attempt)
        bench.AnswerPrompt(typed);
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 0);
    QCOMPARE(bench.dialogs.Texts(), QStringList{error});
    QVERIFY(!bench.frame->HoldsCarrier());
    QVERIFY(bench.frame->isHidden());
    QVERIFY(ReadFile(carrier) == before);
}

void RevealTest::referenceCarriersOpen_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sizes");
    for (const ReferenceCarrier& reference : ReferenceCarriers()) {
        QStringList names, sizes;
        for (const ReferenceHiddenFile& file : reference.files) {
            names.append(QString::fromStdString(file.name));
            sizes.append(QString::fromStdString(FormatFileSize(file.size)));
        }
        // The view shows the message with LF line breaks.
        QTest::newRow(reference.file.c_str())
            << QString::fromStdString(reference.file) << QString::fromStdString(reference.password)
            << QString::fromStdString(reference.message).replace("\r\n", "\n") << names << sizes;
    }
}

void RevealTest::referenceCarriersOpen() {
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QStringList, names);
    QFETCH(QStringList, sizes);
    WorkflowBench bench;
    const std::string carrier = bench.CopyOfReference(file.toStdString());
    bench.AnswerPrompt(password); // an all-zero check record passes at once
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(bench.promptErrorLines.size(), 1);
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.Get<QTabWidget>("pgcDecodeImage")->currentWidget()->objectName(),
             QStringLiteral("tsOutputMsg"));
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), message);
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    QStringList shownNames = Names(list);
    QStringList shownSizes;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shownSizes.append(list->topLevelItem(i)->text(2));
    QCOMPARE(QSet<QString>(shownNames.begin(), shownNames.end()),
             QSet<QString>(names.begin(), names.end()));
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(RowNamed(list, names[i])->text(2), sizes[i]);
    QVERIFY(bench.frame->IsSaved());

    // Saving it back unchanged keeps message and files readable with the same password.
    bench.Click("btnDeSave");
    QCOMPARE(bench.dialogs.Texts().last(), kSaveOK);
    const CarrierContents contents = ReadCarrier(carrier, password.toStdString());
    QCOMPARE(contents.files.size(), size_t(names.size()));
    QCOMPARE(QString::fromStdString(contents.message).replace("\r\n", "\n"), message);
}

void RevealTest::saveImageKeepsDropsAddsAndReloads() {
    WorkflowBench bench;
    const std::string f1 = bench.MakeFile("one.bin", 3000, 1);
    const std::string f2 = bench.MakeFile("two.bin", 20, 2);
    const std::string f3 = bench.MakeFile("three.bin", 50000, 3);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "old\r\ntext", {f1, f2, f3});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    auto* memo = bench.Get<QPlainTextEdit>("mmoDeMsg");
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    QCOMPARE(memo->toPlainText(), QStringLiteral("old\ntext"));
    bench.frame->ShowFilesPage();
    QCOMPARE(bench.Get<QTabWidget>("pgcDecodeImage")->currentWidget()->objectName(),
             QStringLiteral("tsOutputFiles"));

    memo->setPlainText("new\ntext");
    SelectOnly(list, "two.bin");
    bench.Click("btnDeDel");
    const std::string f4 = bench.MakeFile("four.bin", 777, 4);
    bench.dialogs.fileLists.push_back({QString::fromStdString(f4)});
    bench.Click("btnDeAdd");
    QVERIFY(!bench.frame->IsSaved());
    bench.Click("btnDeSave");

    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("information"));
    QCOMPARE(bench.dialogs.shown.last().title, QStringLiteral("Lumora"));
    QCOMPARE(bench.dialogs.shown.last().text, kSaveOK);
    QVERIFY(bench.frame->IsSaved());
    CarrierContents contents = ReadCarrier(carrier, "pw");
    QCOMPARE(contents.message, std::string("new\r\ntext"));
    QCOMPARE(contents.files.size(), size_t{3});
    QVERIFY(contents.files.at("one.bin") == ReadFile(f1));
    QVERIFY(contents.files.at("three.bin") == ReadFile(f3));
    QVERIFY(contents.files.at("four.bin") == ReadFile(f4));
    // The view now shows the written carrier: every row is a hidden file.
    QCOMPARE(list->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(RowEntry(list->topLevelItem(i)) >= 0);

    // A second save from the same view reaches the right entries.
    SelectOnly(list, "one.bin");
    bench.Click("btnDeDel");
    const std::string f5 = bench.MakeFile("five.bin", 5, 5);
    bench.dialogs.fileLists.push_back({QString::fromStdString(f5)});
    bench.Click("btnDeAdd");
    bench.Click("btnDeSave");
    contents = ReadCarrier(carrier, "pw");
    QCOMPARE(contents.files.size(), size_t{3});
    QVERIFY(contents.files.at("three.bin") == ReadFile(f3));
    QVERIFY(contents.files.at("four.bin") == ReadFile(f4));
    QVERIFY(contents.files.at("five.bin") == ReadFile(f5));

    // Saving a hidden file out extracts the entry its row shows.
    SelectOnly(list, "three.bin");
    const std::string out = bench.dir / "three-out.bin";
    bench.dialogs.savePaths.push_back(QString::fromStdString(out));
    bench.Click("btnDeSaveFilesAs");
    QCOMPARE(bench.dialogs.saveRequests.last().proposedName, QStringLiteral("three.bin"));
    QVERIFY(ReadFile(out) == ReadFile(f3));
    QCOMPARE(bench.dialogs.unanswered, 0);
    QCOMPARE(bench.promptErrorLines.size(), 1); // reloads never asked again
}

void RevealTest::saveImageAsNewFileReloadsWithoutPrompt() {
    WorkflowBench bench;
    const std::string f1 = bench.MakeFile("one.bin", 300, 1);
    const std::string carrier = bench.MakeCarrier("photo.png", "pw", "text", {f1});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("changed");
    const std::string target = bench.dir / "copy.png";
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnDeSaveAs");

    QCOMPARE(bench.dialogs.saveRequests.last().proposedName, QStringLiteral("photo_new.png"));
    QCOMPARE(bench.dialogs.saveRequests.last().defaultSuffix, QStringLiteral("png"));
    QVERIFY(bench.dialogs.shown.isEmpty());
    QCOMPARE(bench.dialogs.unanswered, 0);
    QCOMPARE(bench.frame->ImagePath(), QString::fromStdString(target));
    QCOMPARE(bench.host.images.last(), QString::fromStdString(target));
    QVERIFY(bench.frame->IsSaved());
    QCOMPARE(ReadCarrier(target, "pw").message, std::string("changed"));
    QCOMPARE(ReadCarrier(carrier, "pw").message, std::string("text"));
}

void RevealTest::saveImageAsOntoTheLoadedImage() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "text", {});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("in place");
    bench.dialogs.savePaths.push_back(QString::fromStdString(carrier));
    bench.Click("btnDeSaveAs");
    QCOMPARE(bench.dialogs.Texts(), QStringList{kSaveOK});
    QCOMPARE(ReadCarrier(carrier, "pw").message, std::string("in place"));
}

void RevealTest::failedSaveAsKeepsTheView() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "text", {});
    const std::string before = Sha256Hex(carrier);
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("edited");
    bench.dialogs.savePaths.push_back(QString::fromStdString(carrier + "/below-a-file.png"));
    bench.Click("btnDeSaveAs");
    QCOMPARE(bench.dialogs.Texts(),
             QStringList{"There are some errors when saved, please try again.\nA file could not "
                         "be written: " +
                         QString::fromStdString(carrier) + "/below-a-file.png (Not a directory)"});
    QVERIFY(!bench.frame->IsSaved());
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(Sha256Hex(carrier), before);
}

void RevealTest::cancelAsksOnlyAfterEdits() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "not empty", {});
    const std::string before = Sha256Hex(carrier);
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.Click("btnDeCancel");
    QVERIFY(bench.dialogs.shown.isEmpty());
    QVERIFY(bench.frame->isHidden());
    QVERIFY(!bench.frame->HoldsCarrier());
    QCOMPARE(bench.host.mainPanel.last(), true);

    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.Get<QPlainTextEdit>("mmoDeMsg")->insertPlainText("x");
    bench.dialogs.answers.push_back(Answer::Cancel);
    bench.Click("btnDeCancel");
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("question3"));

    // Yes, and the save dialog is cancelled: the edit goes only after a second Yes.
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.answers.push_back(Answer::No);
    bench.Click("btnDeCancel");
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("question"));
    QCOMPARE(bench.dialogs.shown.last().text,
             QStringLiteral("The text messages and the files have not been saved into an "
                            "image. Do you want to discard them?"));
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.Click("btnDeCancel");
    QVERIFY(bench.frame->isHidden());
    QCOMPARE(bench.dialogs.saveRequests.size(), 2);
    QCOMPARE(Sha256Hex(carrier), before);
}

void RevealTest::carrierWithEmptyArchive() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("empty.png", "pw", "", {});
    QVERIFY(!carrier.empty());
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), QString());
    QCOMPARE(bench.Get<QTreeWidget>("lvDeFiles")->topLevelItemCount(), 0);
    QVERIFY(bench.dialogs.shown.isEmpty());
    QVERIFY(!bench.Get<QPushButton>("btnDeRemoveAll")->isEnabled());
}

void RevealTest::hiddenFilesOpenFromTheWorkingFolderOnly() {
    WorkflowBench bench;
    const std::string f1 = bench.MakeFile("doc.txt", 1234, 7);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "", {f1});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    const std::string workDir = bench.frame->WorkFolder();
    QVERIFY(!workDir.empty());
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    SelectOnly(list, "doc.txt");
    bench.Click("btnDeOpen");
    QCOMPARE(bench.dialogs.opened.size(), 1);
    const std::string copy = bench.dialogs.opened[0].toStdString();
    QVERIFY(copy.rfind(workDir + "/", 0) == 0);
    QVERIFY(ReadFile(copy) == ReadFile(f1));
    QVERIFY(!FileExists(bench.dir / "doc.txt.copy"));

    // Closing the view removes the working folder with the decrypted copy.
    bench.Click("btnDeCancel");
    QVERIFY(!FileExists(workDir));

    // So does releasing the engine at the end of the program with the view open.
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    const std::string openDir = bench.frame->WorkFolder();
    QVERIFY(FileExists(openDir));
    bench.frame->ReleaseEngine();
    QVERIFY(!FileExists(openDir));
}

void RevealTest::fullListAfterDeletingAHiddenFileSavesEveryRow() {
    WorkflowBench bench;
    std::vector<std::string> hidden;
    for (int i = 0; i < 3; ++i)
        hidden.push_back(bench.MakeFile("hidden" + std::to_string(i), 10, i));
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "", hidden);
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    SelectOnly(list, "hidden1");
    bench.Click("btnDeDel");
    QStringList added;
    for (int i = 0; i < 98; ++i)
        added.append(QString::fromStdString(bench.MakeFile("new" + std::to_string(i), 1, i)));
    bench.dialogs.fileLists.push_back(added);
    bench.Click("btnDeAdd");
    QCOMPARE(list->topLevelItemCount(), 100);

    bench.Click("btnDeSave");
    QCOMPARE(bench.dialogs.Texts(), QStringList{kSaveOK});
    const CarrierContents contents = ReadCarrier(carrier, "pw");
    QCOMPARE(contents.files.size(), size_t{100});
    QVERIFY(contents.files.count("hidden1") == 0);
    QVERIFY(contents.files.count("new97") == 1);
}

void RevealTest::escapePressesCancel() {
    WorkflowBench bench;
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "text", {});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QApplication::setActiveWindow(&bench.host.window);
    QVERIFY(QTest::qWaitForWindowActive(&bench.host.window));
    auto* memo = bench.Get<QPlainTextEdit>("mmoDeMsg");
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Escape);
    QVERIFY(bench.frame->isHidden());
    QVERIFY(bench.dialogs.shown.isEmpty());
}

void RevealTest::hiddenFilesSaveIntoAFolderByTheirOwnNames() {
    WorkflowBench bench;
    const ReferenceCarrier& reference = ReferenceCarrierNamed("backslash-names.gif");
    const std::string carrier = bench.CopyOfReference(reference.file);
    bench.AnswerPrompt(QString::fromStdString(reference.password));
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    bench.frame->ShowFilesPage();
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    list->selectAll();
    const std::string folder = bench.dir / "out";
    std::filesystem::create_directory(folder);
    bench.dialogs.folders.push_back(QString::fromStdString(folder));
    bench.Click("btnDeSaveFilesAs");
    // Each file under the last part of its name: no folder of the names is made.
    for (const ReferenceHiddenFile& file : reference.files) {
        const std::string base = file.name.substr(file.name.rfind('/') + 1);
        QCOMPARE(Sha256Hex(folder + "/" + base), file.sha256);
        if (base != file.name)
            QVERIFY(!FileExists(folder + "/" + file.name.substr(0, file.name.find('/'))));
    }
}

// Hidden files are saved side by side, so the questions come first: a second file of the
// same name is asked about like one already there, and a file that cannot be written is
// told, not passed over in silence.
void RevealTest::savingFilesOutAsksAboutEveryClashAndTellsAFailure() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.png", "source.png");
    const std::string carrier = bench.dir / "c.png";
    {
        CBindImage engine;
        engine.SetPassword(Password("pw"));
        QCOMPARE(engine.OpenCarrier(image, OPEN_UNPACK), 1);
        QCOMPARE(engine.ReplaceContent(std::string("m"), {},
                                       {{bench.MakeFile("1", 1000, 1), "a/x.txt"},
                                        {bench.MakeFile("2", 2000, 2), "b/x.txt"},
                                        {bench.MakeFile("3", 3000, 3), "y.txt"}}),
                 1);
        QCOMPARE(engine.SaveCarrier(carrier), 1);
    }
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    bench.frame->ShowFilesPage();
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    const QString clash = QStringLiteral("x.txt has exists, are you want to overwrite it?");
    const QString failed = QStringLiteral("There are some errors when saved, please try again.\n"
                                          "A file could not be written: %1/out3/y.txt (Is a "
                                          "directory)")
                               .arg(QString::fromStdString(bench.dir.Path()));

    struct Case {
        bool yFolderThere;
        Answer second; // about the second x.txt
        QStringList texts;
        std::string x; // the file x.txt holds afterwards
        bool yWritten;
    };
    const Case cases[] = {
        {false, Answer::Yes, {clash}, bench.dir / "2", true},
        {false, Answer::No, {clash}, bench.dir / "1", true},
        // y.txt is a folder: Yes to replacing it, and the save-out fails there.
        {true,
         Answer::Yes,
         {clash, QStringLiteral("y.txt has exists, are you want to overwrite it?"), failed},
         bench.dir / "2",
         false},
    };
    int run = 0;
    for (const Case& c : cases) {
        const std::string folder = bench.dir / ("out" + std::to_string(++run));
        std::filesystem::create_directories(c.yFolderThere ? folder + "/y.txt" : folder);
        bench.dialogs.shown.clear();
        bench.dialogs.folders.push_back(QString::fromStdString(folder));
        bench.dialogs.answers.assign({c.second, Answer::Yes});
        list->selectAll();
        bench.Click("btnDeSaveFilesAs");
        QCOMPARE(bench.dialogs.Texts(), c.texts);
        QCOMPARE(Sha256Hex(folder + "/x.txt"), Sha256Hex(c.x));
        QCOMPARE(std::filesystem::is_regular_file(folder + "/y.txt"), c.yWritten);
    }
}

void RevealTest::savingStaysOnThePageTheUserWasOn_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("intoNewFile");
    QTest::newRow("Save Image") << "btnDeSave" << false;
    QTest::newRow("Save Image As, a new file") << "btnDeSaveAs" << true;
    QTest::newRow("Save Image As, the loaded image") << "btnDeSaveAs" << false;
}

void RevealTest::savingStaysOnThePageTheUserWasOn() {
    QFETCH(QString, button);
    QFETCH(bool, intoNewFile);
    WorkflowBench bench;
    QApplication::setActiveWindow(&bench.host.window);
    QVERIFY(QTest::qWaitForWindowActive(&bench.host.window));
    const std::string file = bench.MakeFile("one.bin", 300, 1);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "text", {file});
    bench.AnswerPrompt("pw");
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    auto* pages = bench.Get<QTabWidget>("pgcDecodeImage");
    for (QWidget* page : {bench.Get<QWidget>("tsOutputFiles"), bench.Get<QWidget>("tsOutputMsg")}) {
        pages->setCurrentWidget(page);
        bench.Get<QPlainTextEdit>("mmoDeMsg")->insertPlainText("x");
        if (button == "btnDeSaveAs")
            bench.dialogs.savePaths.push_back(QString::fromStdString(
                intoNewFile ? bench.dir / ("new-" + page->objectName().toStdString() + ".png")
                            : carrier));
        bench.Get<QPushButton>(button.toLatin1().constData())->click();
        QVERIFY(bench.frame->IsSaved());
        QCOMPARE(pages->currentWidget(), page);
        // The reloaded view keeps the focus, so Esc still reaches it.
        QVERIFY(QApplication::focusWidget() != nullptr);
        QVERIFY(bench.frame->isAncestorOf(QApplication::focusWidget()));
    }
    QCOMPARE(bench.dialogs.unanswered, 0);
}

QTEST_MAIN(RevealTest)
#include "RevealTest.moc"
