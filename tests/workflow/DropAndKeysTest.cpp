// SPDX-License-Identifier: GPL-2.0-or-later
// Files and images dragged onto the frame, the keys of the file lists, Enter in the
// wizard's fields and the tab order.
#include "app/TfrmMain.h"
#include "workflow/FileListRows.h"
#include "workflow/WorkflowBench.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

using namespace lumora;
using namespace lumora::test;

namespace {

// The question before a picture without classic data is opened from outside.
const QString kOpenWhich = QStringLiteral("base.png holds no hidden data that shows without a "
                                          "password. Yes: reveal data hidden in it under a "
                                          "password. No: hide data into it.");

QList<QUrl> Urls(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

// Drags `urls` (or, when given, `text`) onto `target` as a file manager would; true when the
// drag was accepted.
bool Drop(QWidget* target, const QList<QUrl>& urls, const QString& text = QString()) {
    QMimeData data;
    if (text.isEmpty())
        data.setUrls(urls);
    else
        data.setText(text);
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// The named widgets follow each other in the focus chain, skipping unnamed ones.
void CheckFocusChain(const WorkflowBench& bench, const QStringList& order) {
    QWidget* widget = bench.Get<QWidget>(order[0].toLatin1().constData());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget* next = widget->nextInFocusChain();
        while (next->objectName().isEmpty() || next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), order[i]);
        widget = next;
    }
}

} // namespace

class DropAndKeysTest : public QObject {
    Q_OBJECT
private slots:
    void droppedFilesAreAddedLikeAddFiles();
    void dropsOnTheRevealListAddFilesFromDisk();
    void filesDroppedOnTheMessageJoinTheList_data();
    void filesDroppedOnTheMessageJoinTheList();
    void droppedImageBecomesTheWizardsImage();
    void imageDroppedOnTheStartPanelIsLoaded();
    void pictureWithoutClassicDataAsksFirst_data();
    void pictureWithoutClassicDataAsksFirst();
    void listKeysDeleteOpenAndShowTheMenu();
    void enterGoesOnAndTabFollowsTheLayout();
};

void DropAndKeysTest::droppedFilesAreAddedLikeAddFiles() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    const QStringList first = bench.MakeFiles("a", 98, 10);
    QVERIFY(Drop(list->viewport(), Urls(first)));
    QCOMPARE(Names(list), first);
    QVERIFY(!bench.frame->IsSaved());
    QVERIFY(!list->topLevelItem(0)->icon(1).isNull());
    QVERIFY(bench.dialogs.shown.isEmpty());
    QVERIFY(bench.Get<QPushButton>("btnRemoveAll")->isEnabled());

    const QStringList more = bench.MakeFiles("b", 3, 10);
    // The first file again in other letters, a folder, then more files than fit.
    const QString upper = QString::fromStdString(bench.MakeFile("A0.TXT", 10, 0));
    const QStringList mixed = QStringList({upper, QString::fromStdString(bench.dir.Path())}) + more;
    QVERIFY(Drop(list, Urls(mixed)));
    QCOMPARE(list->topLevelItemCount(), 100);
    QCOMPARE(RowName(list->topLevelItem(99)), more[1]);
    QCOMPARE(bench.dialogs.Texts(),
             QStringList({"The file has been exist in the list.",
                          "There are too many files in the list. It allows no more than 100 "
                          "files in the list."}));

    // Nothing that is not a local file is taken.
    QVERIFY(!Drop(list->viewport(), {QUrl("https://example.org/a.txt")}));
    QCOMPARE(list->topLevelItemCount(), 100);
}

void DropAndKeysTest::dropsOnTheRevealListAddFilesFromDisk() {
    WorkflowBench bench;
    const std::string hidden = bench.MakeFile("hidden.txt", 20, 1);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "", {hidden});
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    QVERIFY(bench.frame->IsSaved());
    QTreeWidget* list = bench.Get<QTreeWidget>("lvDeFiles");
    const QStringList added = bench.MakeFiles("new", 2, 10);
    QVERIFY(Drop(list->viewport(), Urls(added)));
    QCOMPARE(Names(list), QStringList({"hidden.txt"}) + added);
    QCOMPARE(RowEntry(list->topLevelItem(1)), -1);
    QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("3"));
    QVERIFY(!bench.frame->IsSaved());
    // The wizard's list is not touched by drops on the reveal view.
    QCOMPARE(bench.Get<QTreeWidget>("lvFiles")->topLevelItemCount(), 0);
}

void DropAndKeysTest::filesDroppedOnTheMessageJoinTheList_data() {
    QTest::addColumn<bool>("reveal");
    QTest::addColumn<bool>("files");
    QTest::newRow("files on the wizard's message") << false << true;
    QTest::newRow("text on the wizard's message") << false << false;
    QTest::newRow("files on the reveal view's message") << true << true;
}

void DropAndKeysTest::filesDroppedOnTheMessageJoinTheList() {
    QFETCH(bool, reveal);
    QFETCH(bool, files);
    WorkflowBench bench;
    auto* memo = bench.Get<QPlainTextEdit>(reveal ? "mmoDeMsg" : "mmoMsg");
    const QStringList dropped = bench.MakeFiles("d", 2);
    QVERIFY(Drop(memo->viewport(), Urls(dropped), files ? QString() : "dropped words"));
    QCOMPARE(Names(bench.Get<QTreeWidget>(reveal ? "lvDeFiles" : "lvFiles")),
             files ? dropped : QStringList());
    QCOMPARE(memo->toPlainText(), files ? QString() : QStringLiteral("dropped words"));
}

void DropAndKeysTest::droppedImageBecomesTheWizardsImage() {
    WorkflowBench bench;
    bench.frame->ShowHideWizard();
    const QString image = QString::fromStdString(bench.CopyOfReference("base.png"));
    const QString other = QString::fromStdString(bench.CopyOfReference("base.gif"));
    auto* combo = bench.Get<QComboBox>("cbbFiles");
    QVERIFY(Drop(bench.Get<QWidget>("tsSelectImg"), Urls({image, other})));
    QCOMPARE(combo->currentText(), image);
    QCOMPARE(bench.frame->RecentImages().value(0), image);
    QCOMPARE(bench.host.images.last(), image);
    QVERIFY(bench.Get<QPushButton>("btnNext1")->isEnabled());

    QVERIFY(Drop(combo->lineEdit(), Urls({other})));
    QCOMPARE(combo->currentText(), other);
    QCOMPARE(bench.frame->RecentImages().mid(0, 2), QStringList({other, image}));
}

void DropAndKeysTest::imageDroppedOnTheStartPanelIsLoaded() {
    WorkflowBench bench;
    const QString carrier = QString::fromStdString(bench.MakeCarrier("c.png", "pw", "dropped", {}));
    const QString plain = QString::fromStdString(bench.CopyOfReference("base.png"));
    TfrmMain window;
    window.show();
    auto* panel = window.findChild<QWidget*>("pnlMain");
    auto* frame = window.findChild<TframeMsg*>();

    // A picture without classic data, asked to be revealed, is offered the prompt for
    // sealed data.
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.AnswerPrompt(QString(), 0);
    QVERIFY(Drop(panel, Urls({plain})));
    QCOMPARE(bench.promptErrorLines, QStringList({"sealed hidden"}));
    QCOMPARE(bench.dialogs.Texts(), QStringList{kOpenWhich});
    QVERIFY(panel->isVisible());
    QVERIFY(!frame->isVisible());

    bench.AnswerPrompt("pw");
    QVERIFY(Drop(panel, Urls({carrier, plain})));
    QVERIFY(!panel->isVisible());
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->ImagePath(), carrier);
    QCOMPARE(frame->findChild<QPlainTextEdit*>("mmoDeMsg")->toPlainText(),
             QStringLiteral("dropped"));
}

void DropAndKeysTest::pictureWithoutClassicDataAsksFirst_data() {
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("prompts");
    QTest::addColumn<QString>("shown"); // the panel on show afterwards
    for (const bool dropped : {true, false}) {
        const char* how = dropped ? "dropped, " : "command line, ";
        QTest::addRow("%sreveal", how)
            << dropped << int(Answer::Yes) << QStringList{"sealed hidden"} << "pnlMain";
        QTest::addRow("%shide", how)
            << dropped << int(Answer::No) << QStringList() << "pnlEnCodeImage";
        QTest::addRow("%scancel", how)
            << dropped << int(Answer::Cancel) << QStringList() << "pnlMain";
    }
}

void DropAndKeysTest::pictureWithoutClassicDataAsksFirst() {
    QFETCH(bool, dropped);
    QFETCH(int, answer);
    QFETCH(QStringList, prompts);
    QFETCH(QString, shown);
    WorkflowBench bench;
    const QString plain = QString::fromStdString(bench.CopyOfReference("base.png"));
    TfrmMain window;
    window.show();
    bench.dialogs.answers.push_back(static_cast<Answer>(answer));
    if (!prompts.isEmpty())
        bench.AnswerPrompt(QString(), 0);
    if (dropped)
        QVERIFY(Drop(window.findChild<QWidget*>("pnlMain"), Urls({plain})));
    else
        window.OpenPicture(plain);
    QCOMPARE(bench.dialogs.Texts(), QStringList{kOpenWhich});
    QCOMPARE(bench.promptErrorLines, prompts);
    QVERIFY(window.findChild<QWidget*>(shown)->isVisible());
    if (answer == int(Answer::No))
        QCOMPARE(window.findChild<QComboBox*>("cbbFiles")->currentText(), plain);
}

void DropAndKeysTest::listKeysDeleteOpenAndShowTheMenu() {
    WorkflowBench bench;
    QTreeWidget* list = bench.OpenFilesPage();
    const QStringList files = bench.MakeFiles("k", 3, 10);
    bench.dialogs.fileLists.push_back(files);
    bench.Click("btnAdd");

    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(bench.dialogs.opened, QStringList({files[1]}));

    auto* menu = bench.frame->findChild<QMenu*>("pmFile");
    QTest::keyClick(list, Qt::Key_Menu);
    QVERIFY(menu->isVisible());
    menu->hide();
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(menu->isVisible());
    menu->hide();

    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(Names(list), QStringList({files[0], files[2]}));
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("3"));
    QVERIFY(bench.dialogs.shown.isEmpty());
}

void DropAndKeysTest::enterGoesOnAndTabFollowsTheLayout() {
    WorkflowBench bench;
    bench.frame->ShowHideWizard();
    auto* pages = bench.Get<QStackedWidget>("pgcEncodeImage");
    auto* combo = bench.Get<QComboBox>("cbbFiles");
    combo->setEditText(QString());
    QTest::keyClick(combo, Qt::Key_Return); // the combo box holds the focus
    QCOMPARE(pages->currentIndex(), 0);     // Next is disabled without an image
    combo->setEditText("/pictures/cat.jpg");
    QTest::keyClick(combo, Qt::Key_Return); // the combo box holds the focus
    QCOMPARE(pages->currentIndex(), 1);
    bench.Click("btnNext1");
    bench.Click("btnNext1");
    auto* pass1 = bench.Get<QLineEdit>("edtPass1");
    auto* pass2 = bench.Get<QLineEdit>("edtPass2");
    pass1->setText("a");
    pass2->setText("b");
    QTest::keyClick(pass2, Qt::Key_Return);
    QCOMPARE(pages->currentIndex(), 3); // the passwords differ
    pass2->setText("a");
    QTest::keyClick(pass2, Qt::Key_Return);
    QCOMPARE(pages->currentIndex(), 4);

    // The focus chain passes the controls in the order they are laid out.
    CheckFocusChain(bench,
                    {"cbbFiles", "btnSelImg", "mmoMsg", "lvFiles", "btnAdd", "btnDel",
                     "btnRemoveAll", "btnOpen", "edtPass1", "edtPass2", "rbClassic", "rbSealed",
                     "rbWoven", "chkHideAnyway", "btnSave", "btnBack1", "btnNext1", "btnCencel1"});
    CheckFocusChain(bench,
                    {"mmoDeMsg", "lvDeFiles", "btnDeAdd", "btnDeDel", "btnDeRemoveAll", "btnDeOpen",
                     "btnDeSaveFilesAs", "btnDeSave", "btnDeSaveAs", "btnDeCancel"});
}

QTEST_MAIN(DropAndKeysTest)
#include "DropAndKeysTest.moc"
