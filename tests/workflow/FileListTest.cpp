// SPDX-License-Identifier: GPL-2.0-or-later
// The file lists: adding with its limits, deleting, removing all, opening, saving out and
// the enabling rules.
#include "ini/IniFile.h"
#include "workflow/DialogFolders.h"
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

using namespace lumora;
using namespace lumora::test;

namespace {

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts.append(list->topLevelItem(i)->text(column));
    return texts;
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT
private slots:
    void addStopsAtOneHundredRows();
    void addRefusesDuplicatesMissingAndTooLargeFiles();
    void deletingKeepsRowNumbers();
    void removeAllAnsweredNoStillCountsAsChange();
    void sizeColumnTexts();
    void enablingRulesAndPopup();
    void openUsesTheDesktop();
    void saveOutOneOrSeveralFiles();
    void textsComeFromTheLanguageFile();
    void dialogsStartInPicturesThenWhereTheUserWent_data();
    void dialogsStartInPicturesThenWhereTheUserWent();
};

void FileListTest::addStopsAtOneHundredRows() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    bench.dialogs.fileLists.push_back(bench.MakeFiles("a", 98));
    bench.Click("btnAdd");
    QCOMPARE(list->topLevelItemCount(), 98);
    QVERIFY(bench.dialogs.shown.isEmpty());

    bench.dialogs.fileLists.push_back(bench.MakeFiles("b", 5));
    bench.Click("btnAdd");
    QCOMPARE(list->topLevelItemCount(), 100);
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown[0].kind, QStringLiteral("error"));
    QCOMPARE(bench.dialogs.shown[0].text,
             QStringLiteral("There are too many files in the list. It allows no more than 100 "
                            "files in the list."));
    QCOMPARE(list->topLevelItem(99)->text(0), QStringLiteral("100"));
    QVERIFY(list->topLevelItem(99)->text(1).endsWith("b1.txt"));
    QCOMPARE(RowEntry(list->topLevelItem(99)), -1);
}

void FileListTest::addRefusesDuplicatesMissingAndTooLargeFiles() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    const QString lower = QString::fromStdString(bench.MakeFile("photo.txt", 3, 1));
    const QString upper = QString::fromStdString(bench.MakeFile("PHOTO.TXT", 3, 2));
    const QString other = QString::fromStdString(bench.MakeFile("other.txt", 3, 3));
    const QString huge = QString::fromStdString(bench.dir / "huge.bin");
    {
        QFile file(huge); // sparse: takes no room on disk
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64{1} << 31));
    }
    bench.dialogs.fileLists.push_back({lower});
    bench.Click("btnAdd");
    bench.dialogs.fileLists.push_back(
        {upper, QString::fromStdString(bench.dir / "gone.txt"), huge, other});
    bench.Click("btnAdd");

    QCOMPARE(Column(list, 1), (QStringList{lower, other}));
    QCOMPARE(bench.dialogs.Texts(),
             (QStringList{QStringLiteral("The file has been exist in the list."),
                          huge + QStringLiteral(" is too large to be hidden.")}));
}

void FileListTest::deletingKeepsRowNumbers() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    bench.dialogs.fileLists.push_back(bench.MakeFiles("f", 4).mid(0, 3));
    bench.Click("btnAdd");
    bench.Click("btnNext1");
    bench.Click("btnBack1"); // leave and come back: the list stays
    QCOMPARE(list->topLevelItemCount(), 3);

    list->topLevelItem(1)->setSelected(true);
    bench.Click("btnDel");
    QCOMPARE(Column(list, 0), (QStringList{"1", "3"}));
    QVERIFY(!bench.frame->IsSaved());

    bench.dialogs.fileLists.push_back({QString::fromStdString(bench.dir / "f3.txt")});
    bench.Click("btnAdd");
    QCOMPARE(Column(list, 0), (QStringList{"1", "3", "3"}));
}

void FileListTest::removeAllAnsweredNoStillCountsAsChange() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.gif");
    const QStringList files = bench.MakeFiles("r", 2);
    bench.HideThroughWizard(image, QString(), files, "pw", bench.dir / "out.gif");
    QVERIFY(bench.frame->IsSaved());
    for (int page = 0; page < 2; ++page)
        bench.Click("btnBack1");
    QTreeWidget* list = bench.Get<QTreeWidget>("lvFiles");

    bench.dialogs.answers.push_back(Answer::No);
    bench.Click("btnRemoveAll");
    QCOMPARE(list->topLevelItemCount(), 2);
    QVERIFY(!bench.frame->IsSaved());
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("question"));
    QCOMPARE(bench.dialogs.shown.last().title, QStringLiteral("ERROR"));
    QCOMPARE(bench.dialogs.shown.last().text,
             QStringLiteral("Are you sure want to delete all files?"));

    bench.dialogs.answers.push_back(Answer::Yes);
    bench.Click("btnRemoveAll");
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(!bench.Get<QPushButton>("btnRemoveAll")->isEnabled());
}

void FileListTest::sizeColumnTexts() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    QStringList paths;
    for (qint64 size : {0, 1000, 1001, 1000000, 1000001}) {
        const QString path = QString::fromStdString(bench.dir / ("s" + std::to_string(size)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        paths.append(path);
    }
    bench.dialogs.fileLists.push_back(paths);
    bench.Click("btnAdd");
    QCOMPARE(Column(list, 2),
             (QStringList{"0 Byte", "1000 Byte", "1.00 KB", "1000.00 KB", "1.00 MB"}));
    QCOMPARE(list->columnWidth(0), 40);
    QCOMPARE(list->columnWidth(1), 193);
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("File Name"));
}

void FileListTest::enablingRulesAndPopup() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    auto* open = bench.Get<QPushButton>("btnOpen");
    auto* del = bench.Get<QPushButton>("btnDel");
    auto* removeAll = bench.Get<QPushButton>("btnRemoveAll");
    auto* menu = bench.Get<QMenu>("pmFile");
    auto* menuOpen = bench.Get<QAction>("mniLoadTheFile");
    QVERIFY(!open->isEnabled() && !del->isEnabled() && !removeAll->isEnabled());

    bench.dialogs.fileLists.push_back(bench.MakeFiles("e", 2));
    bench.Click("btnAdd");
    QVERIFY(!open->isEnabled() && !del->isEnabled() && removeAll->isEnabled());

    auto popup = [&] {
        emit list->customContextMenuRequested(QPoint(5, 5));
        const bool enabled = menuOpen->isEnabled();
        menu->close();
        return enabled;
    };
    QVERIFY(!popup());
    list->topLevelItem(0)->setSelected(true);
    QVERIFY(open->isEnabled() && del->isEnabled());
    QVERIFY(popup());
    list->topLevelItem(1)->setSelected(true);
    QVERIFY(!open->isEnabled() && del->isEnabled());
    QVERIFY(!popup());
    QCOMPARE(menu->defaultAction(), menuOpen);
}

void FileListTest::openUsesTheDesktop() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    const QStringList files = bench.MakeFiles("o", 2);
    bench.dialogs.fileLists.push_back(files);
    bench.Click("btnAdd");
    list->topLevelItem(1)->setSelected(true);
    bench.Click("btnOpen");
    QCOMPARE(bench.dialogs.opened, (QStringList{files[1]}));

    list->topLevelItem(0)->setSelected(true); // two rows: nothing opens
    bench.Get<QAction>("mniLoadTheFile")->trigger();
    QCOMPARE(bench.dialogs.opened.size(), 1);
}

void FileListTest::saveOutOneOrSeveralFiles() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    const QStringList files = bench.MakeFiles("x", 3);
    bench.dialogs.fileLists.push_back(files);
    bench.Click("btnAdd");

    // One row: the save dialog proposes its name.
    list->topLevelItem(0)->setSelected(true);
    const std::string single = bench.dir / "single.txt";
    bench.dialogs.savePaths.push_back(QString::fromStdString(single));
    bench.Get<QAction>("mniSaveFilesAs")->trigger();
    QCOMPARE(bench.dialogs.saveRequests.last().proposedName, QStringLiteral("x0.txt"));
    QCOMPARE(Sha256Hex(single), Sha256Hex(files[0].toStdString()));

    // Several rows into a folder where one name exists: No skips only that one.
    const std::string folder = bench.dir / "out";
    std::filesystem::create_directory(folder);
    WriteText(folder + "/x1.txt", "keep me");
    for (int i = 0; i < 3; ++i)
        list->topLevelItem(i)->setSelected(true);
    bench.dialogs.folders.push_back(QString::fromStdString(folder));
    bench.dialogs.answers.push_back(Answer::No);
    bench.Get<QAction>("mniSaveFilesAs")->trigger();
    QCOMPARE(bench.dialogs.folderTitles.last(), QStringLiteral("Please select the target folder"));
    QCOMPARE(bench.dialogs.shown.last().text,
             QStringLiteral("x1.txt has exists, are you want to overwrite it?"));
    QCOMPARE(ReadText(folder + "/x1.txt"), std::string("keep me"));
    QCOMPARE(Sha256Hex(folder + "/x0.txt"), Sha256Hex(files[0].toStdString()));
    QCOMPARE(Sha256Hex(folder + "/x2.txt"), Sha256Hex(files[2].toStdString()));

    // Yes overwrites; a cancelled folder browser saves nothing.
    bench.dialogs.folders.push_back(QString::fromStdString(folder));
    bench.dialogs.answers.insert(bench.dialogs.answers.end(),
                                 {Answer::Yes, Answer::Yes, Answer::Yes});
    bench.Get<QAction>("mniSaveFilesAs")->trigger();
    QCOMPARE(Sha256Hex(folder + "/x1.txt"), Sha256Hex(files[1].toStdString()));
    const int asked = bench.dialogs.shown.size();
    bench.dialogs.folders.push_back(QString());
    bench.Get<QAction>("mniSaveFilesAs")->trigger();
    QCOMPARE(bench.dialogs.shown.size(), asked);

    // Saving a file onto itself leaves it whole.
    list->clearSelection();
    list->topLevelItem(2)->setSelected(true);
    bench.dialogs.savePaths.push_back(files[2]);
    bench.Get<QAction>("mniSaveFilesAs")->trigger();
    QCOMPARE(ReadFile(files[2].toStdString()).size(), size_t{1});
}

void FileListTest::textsComeFromTheLanguageFile() {
    WorkflowBench bench;
    const std::string languageFile = bench.dir / "lang/English.ini";
    IniFile file(languageFile);
    // The first frame completed the file, the new message included.
    QCOMPARE(file.ReadString("TframeMsg", "strFileTooLarge"),
             std::string("%s is too large to be hidden."));
    QCOMPARE(file.ReadString("TframeMsg", "btnDeAdd_Caption"), std::string("&Add  Files"));
    QCOMPARE(file.ReadString("TframeMsg", "lvFiles_ColumnCaption[1]"), std::string("File Name"));
    QVERIFY(file.WriteString("TframeMsg", "strFileInList", "Schon in der Liste"));
    QVERIFY(file.WriteString("TframeMsg", "btnAdd_Caption", "&Dateien"));
    QVERIFY(file.WriteString("TframeMsg", "strBadFileName", "%-9s: 100%% abgelehnt"));

    TframeMsg translated(&bench.host, nullptr);
    QCOMPARE(translated.findChild<QPushButton*>("btnAdd")->text(), QStringLiteral("&Dateien"));
    QCOMPARE(translated.findChild<QPushButton*>("btnCencel1")->text(), QStringLiteral("&Cancel"));
    translated.ShowHideWizard();
    const QString path = QString::fromStdString(bench.MakeFile("twice.txt", 2, 1));
    bench.dialogs.fileLists.push_back({path, path});
    translated.findChild<QPushButton*>("btnAdd")->click();
    QCOMPARE(bench.dialogs.Texts(), QStringList{QStringLiteral("Schon in der Liste")});
    // A message with a value is filled as the main window fills its own: width, "%%".
    bench.dialogs.fileLists.push_back({QString::fromStdString(bench.MakeFile("a\\b.txt", 1, 1))});
    translated.findChild<QPushButton*>("btnAdd")->click();
    QCOMPARE(bench.dialogs.Texts().last(), QStringLiteral("a\\b.txt  : 100% abgelehnt"));
}

void FileListTest::dialogsStartInPicturesThenWhereTheUserWent_data() {
    QTest::addColumn<QString>("dialog");
    QTest::newRow("the wizard's picture") << "picture";
    QTest::newRow("Add Files") << "add";
    QTest::newRow("Save Files As, one file") << "save";
    QTest::newRow("Save Files As, into a folder") << "folder";
}

void FileListTest::dialogsStartInPicturesThenWhereTheUserWent() {
    QFETCH(QString, dialog);
    WorkflowBench bench;
    // A home with a pictures folder; the working folder is the program's, where a saved
    // decrypted file would be wiped with the cache.
    const QByteArray oldHome = qgetenv("HOME");
    const std::string home = bench.dir / "home";
    std::filesystem::create_directories(home + "/Pictures");
    qputenv("HOME", QByteArray::fromStdString(home));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home + "/.config"));
    const QString pictures = QString::fromStdString(home + "/Pictures");
    const QString chosen = QString::fromStdString(bench.dir / "chosen");
    std::filesystem::create_directories(chosen.toStdString());
    const QString source = QString::fromStdString(bench.MakeFile("source.txt", 3, 1));

    QTreeWidget* list = bench.OpenFilesPage();
    bench.dialogs.fileLists.push_back(
        {source, QString::fromStdString(bench.MakeFile("t.txt", 3, 2))});
    bench.Click("btnAdd");
    const QString firstAdd = bench.dialogs.startFolders.last();
    // Opens the dialog once, answered inside the chosen folder; returns where it started.
    auto open = [&]() -> QString {
        if (dialog == "picture") {
            bench.dialogs.pictures.push_back(chosen + "/cat.png");
            bench.frame->ShowHideWizard();
            bench.Click("btnSelImg");
            return bench.dialogs.startFolders.last();
        }
        if (dialog == "add") {
            bench.dialogs.fileLists.push_back({chosen + "/missing.txt"});
            bench.Click("btnAdd");
            return bench.dialogs.startFolders.last();
        }
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        if (dialog == "save") {
            bench.dialogs.savePaths.push_back(chosen + "/copy.txt");
            bench.Get<QAction>("mniSaveFilesAs")->trigger();
            return bench.dialogs.saveRequests.last().startFolder;
        }
        list->topLevelItem(1)->setSelected(true);
        for (const char* name : {"/source.txt", "/t.txt"}) // no question about overwriting
            std::filesystem::remove((chosen + name).toStdString());
        bench.dialogs.folders.push_back(chosen);
        bench.Get<QAction>("mniSaveFilesAs")->trigger();
        return bench.dialogs.startFolders.last();
    };

    QCOMPARE(firstAdd, pictures);
    QCOMPARE(open(), dialog == "add" ? QString::fromStdString(bench.dir.Path()) : pictures);
    QCOMPARE(open(), chosen);
    QCOMPARE(StartFolder(DialogFolder::LoadImage), pictures); // each kind has its own
    // Kept in the settings store, not in the dialog; a folder that has gone is not used.
    QVERIFY(ReadText(bench.dir / "Lumora.ini").find(chosen.toStdString()) != std::string::npos);
    std::filesystem::remove_all(chosen.toStdString());
    QCOMPARE(open(), pictures);
    QCOMPARE(bench.dialogs.unanswered, 0);

    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
}

QTEST_MAIN(FileListTest)
#include "FileListTest.moc"
