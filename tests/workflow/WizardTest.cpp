// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard driven end to end: pages, password rules, saving, closing questions and
// the recent-image list.
#include "workflow/RecentImages.h"
#include "workflow/WorkflowBench.h"

#include "platform/ProgramFolders.h"
#include "support/ReferenceCarriers.h"
#include "workflow/SettingsStore.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

using namespace lumora;
using namespace lumora::test;

namespace {

const QString kSaveError = QStringLiteral("There are some errors when saved, please try again.");

// The box of a failed save: the general message, then the reason with its path.
QString SaveError(const char* reason, const std::string& path, const char* system) {
    return kSaveError +
           QStringLiteral("\n%1: %2 (%3)").arg(reason, QString::fromStdString(path), system);
}
const QString kNotSave = QStringLiteral("The text messages and the files haven't been saved "
                                        "into the image,  Do you want to save now?");
const QString kDiscard = QStringLiteral("The text messages and the files have not been saved "
                                        "into an image. Do you want to discard them?");

std::vector<uint8_t> Head(const std::vector<uint8_t>& bytes, size_t count) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(count, bytes.size()));
}

// Walks the wizard to its last page without saving, with no message and no files.
void ToLastPage(WorkflowBench& bench, const std::string& image) {
    bench.WizardToLastPage(image, std::nullopt, {}, QStringLiteral("pw"));
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT
private slots:
    void fullHideKeepsMessageFilesAndImage();
    void hidingIntoACarrierReplacesItsData();
    void sealedChoiceIsWrittenAndRemembered();
    void finishAfterASaveAsksNothing();
    void finishQuestionAnswers();
    void failedSaveReportsAndKeepsDestination();
    void passwordPageIndicators();
    void backFromFirstPageClosesAndEscapeCancels();
    void recentListKeepsTenNewestFirst();
    void recentListWorksWhenStoreCannotBeWritten();
    void typedWorkIsNotThrownAwayWithoutAQuestion_data();
    void typedWorkIsNotThrownAwayWithoutAQuestion();
    void escapeInTheRecentListClosesOnlyTheList();
    void pictureDialogListsPngWebpAndTiff();
};

void WizardTest::fullHideKeepsMessageFilesAndImage() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.gif");
    const QStringList files{QString::fromStdString(bench.MakeFile("a.txt", 10, 1)),
                            QString::fromStdString(bench.MakeFile("b.bin", 5000, 2)),
                            QString::fromStdString(bench.MakeFile("c.dat", 70000, 3))};
    const std::string target = bench.dir / "out.gif";
    bench.HideThroughWizard(image, "first line\nsecond line\n\nlast", files, "s3cret", target);

    // The save is confirmed with the path written to, and the wizard stays on its page.
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown[0].kind, QStringLiteral("information"));
    QCOMPARE(bench.dialogs.shown[0].title, QStringLiteral("Lumora"));
    QCOMPARE(bench.dialogs.shown[0].text, WorkflowBench::SavedAs(target));
    QCOMPARE(bench.Get<QStackedWidget>("pgcEncodeImage")->currentWidget()->objectName(),
             QStringLiteral("tsSaveImg"));
    QVERIFY(bench.frame->IsSaved());
    QCOMPARE(bench.dialogs.saveRequests.size(), 1);
    QCOMPARE(bench.dialogs.saveRequests[0].proposedName, QStringLiteral("base_new.gif"));
    QCOMPARE(bench.dialogs.saveRequests[0].startFolder,
             QString::fromStdString(bench.dir.Path() + "/"));
    QCOMPARE(bench.dialogs.saveRequests[0].defaultSuffix, QStringLiteral("gif"));

    const CarrierContents contents = ReadCarrier(target, "s3cret");
    QVERIFY(contents.opened);
    QCOMPARE(contents.message, std::string("first line\r\nsecond line\r\n\r\nlast"));
    QCOMPARE(contents.files.size(), size_t{3});
    QVERIFY(contents.files.at("a.txt") == ReadFile(files[0].toStdString()));
    QVERIFY(contents.files.at("b.bin") == ReadFile(files[1].toStdString()));
    QVERIFY(contents.files.at("c.dat") == ReadFile(files[2].toStdString()));
    const auto base = ReadFile(ReferenceFile("base.gif"));
    QVERIFY(Head(ReadFile(target), base.size()) == base);
    QVERIFY(ReadCarrier(target, "wrong").files.empty());
}

void WizardTest::hidingIntoACarrierReplacesItsData() {
    WorkflowBench bench;
    const ReferenceCarrier& reference = ReferenceCarrierNamed("empty-password.gif");
    const std::string carrier = bench.CopyOfReference(reference.file);
    const QStringList files{QString::fromStdString(bench.MakeFile("new.txt", 100, 4))};
    const std::string target = bench.dir / "again.gif";
    bench.HideThroughWizard(carrier, "replaced", files, "pw", target);

    QCOMPARE(bench.dialogs.Texts(), QStringList{WorkflowBench::SavedAs(target)});
    const CarrierContents contents = ReadCarrier(target, "pw");
    QCOMPARE(contents.message, std::string("replaced"));
    QCOMPARE(contents.files.size(), size_t{1});
    QVERIFY(contents.files.count("new.txt") == 1);
    const auto base = ReadFile(ReferenceFile(reference.base));
    QVERIFY(Head(ReadFile(target), base.size()) == base);
    QCOMPARE(Sha256Hex(carrier), Sha256Hex(ReferenceFile(reference.file)));
}

// The password page's format choice: classic until the user picks sealed, which the next
// wizard shows again; the carrier written is sealed and opens with its password only.
void WizardTest::sealedChoiceIsWrittenAndRemembered() {
    const SealedTestFormat testFormat;
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.png");
    const QStringList files{QString::fromStdString(bench.MakeFile("a.bin", 3000, 5))};
    const std::string target = bench.dir / "sealed.png";
    ToLastPage(bench, image);
    QVERIFY(bench.Get<QRadioButton>("rbClassic")->isChecked());
    bench.Click("btnBack1");
    bench.Get<QRadioButton>("rbSealed")->click();
    QCOMPARE(ReadSetting("CarrierFormat"), QStringLiteral("sealed"));
    // A new run of the wizard starts with the choice made.
    bench.HideThroughWizard(image, "behind a seal", files, "pw", target);
    QCOMPARE(bench.dialogs.Texts(), QStringList{WorkflowBench::SavedAs(target)});
    QVERIFY(bench.Get<QRadioButton>("rbSealed")->isChecked());

    const CarrierContents contents = ReadAnyCarrier(target, "pw");
    QVERIFY(contents.opened);
    QCOMPARE(contents.format, CarrierFormat::Sealed);
    QCOMPARE(contents.message, std::string("behind a seal"));
    QVERIFY(contents.files.at("a.bin") == ReadFile(files[0].toStdString()));
    QVERIFY(!ReadAnyCarrier(target, "PW").opened);
    QVERIFY(!ReadCarrier(target, "pw").opened); // nothing a classic reader finds
    const auto base = ReadFile(ReferenceFile("base.png"));
    QVERIFY(Head(ReadFile(target), base.size()) == base);

    bench.Get<QRadioButton>("rbClassic")->click();
    QCOMPARE(ReadSetting("CarrierFormat"), QStringLiteral("classic"));
}

void WizardTest::finishAfterASaveAsksNothing() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.png");
    bench.HideThroughWizard(image, "note", {}, "pw", bench.dir / "out.png");
    QVERIFY(bench.frame->IsSaved());
    bench.dialogs.shown.clear(); // the confirmation

    // Back to the message, edit it, and forward to the last page again.
    for (int page = 0; page < 3; ++page)
        bench.Click("btnBack1");
    bench.Get<QPlainTextEdit>("mmoMsg")->setPlainText("edited");
    for (int page = 0; page < 3; ++page)
        bench.Click("btnNext1");
    QCOMPARE(bench.Get<QPushButton>("btnCencel1")->text(), QStringLiteral("&Finish"));
    QVERIFY(!bench.Get<QPushButton>("btnNext1")->isEnabled());

    bench.Click("btnCencel1");
    QVERIFY(bench.dialogs.shown.isEmpty());
    QVERIFY(bench.frame->isHidden());
    QVERIFY(!bench.frame->HoldsCarrier());
    QCOMPARE(bench.host.mainPanel.last(), true);
    QCOMPARE(bench.host.images.last(), QString());
    QCOMPARE(bench.Get<QPushButton>("btnCencel1")->text(), QStringLiteral("&Cancel"));
}

void WizardTest::finishQuestionAnswers() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.png");
    const std::string target = bench.dir / "out.png";

    // Cancel keeps the wizard open.
    ToLastPage(bench, image);
    bench.dialogs.answers.push_back(Answer::Cancel);
    bench.Click("btnCencel1");
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown[0].kind, QStringLiteral("question3"));
    QCOMPARE(bench.dialogs.shown[0].title, QStringLiteral("Lumora"));
    QCOMPARE(bench.dialogs.shown[0].text, kNotSave);

    // Yes, then cancelling the save dialog, asks before the typed work goes: No keeps the
    // wizard, Yes closes it without saving.
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.savePaths.push_back(QString());
    bench.dialogs.answers.push_back(Answer::No);
    bench.Click("btnCencel1");
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("question"));
    QCOMPARE(bench.dialogs.shown.last().text, kDiscard);
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.savePaths.push_back(QString());
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.Click("btnCencel1");
    QVERIFY(bench.frame->isHidden());
    QVERIFY(!FileExists(target));
    QCOMPARE(bench.dialogs.saveRequests.size(), 2);

    // Yes with a save that fails keeps the wizard open for another try.
    ToLastPage(bench, bench.dir / "missing.png");
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnCencel1");
    QCOMPARE(bench.dialogs.Texts().last(),
             SaveError("A file could not be read", bench.dir / "missing.png",
                       "No such file or directory"));
    QVERIFY(!bench.frame->isHidden());

    // Yes with a save that succeeds closes.
    bench.Click("btnBack1");
    bench.Click("btnBack1");
    bench.Click("btnBack1");
    bench.Click("btnBack1");
    bench.Get<QComboBox>("cbbFiles")->setEditText(QString::fromStdString(image));
    for (int page = 0; page < 4; ++page)
        bench.Click("btnNext1");
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnCencel1");
    QVERIFY(bench.frame->isHidden());
    QVERIFY(ReadCarrier(target, "pw").opened);

    // No closes; on earlier pages nothing is asked.
    const int asked = bench.dialogs.shown.size();
    ToLastPage(bench, image);
    bench.dialogs.answers.push_back(Answer::No);
    bench.Click("btnCencel1");
    QVERIFY(bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.size(), asked + 1);
    bench.frame->ShowHideWizard();
    bench.Click("btnNext1");
    bench.Click("btnCencel1");
    QVERIFY(bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.size(), asked + 1);
    QCOMPARE(bench.dialogs.unanswered, 0);
}

void WizardTest::failedSaveReportsAndKeepsDestination() {
    WorkflowBench bench;
    const std::string existing = bench.MakeFile("existing.gif", 500, 9);
    const std::string before = Sha256Hex(existing);

    // The image is missing.
    bench.HideThroughWizard(bench.dir / "missing.gif", "text", {}, "pw", existing);
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown[0].kind, QStringLiteral("error"));
    QCOMPARE(bench.dialogs.shown[0].title, QStringLiteral("ERROR"));
    QCOMPARE(bench.dialogs.shown[0].text,
             SaveError("A file could not be read", bench.dir / "missing.gif",
                       "No such file or directory"));
    QCOMPARE(Sha256Hex(existing), before);
    QVERIFY(!bench.frame->IsSaved());
    QCOMPARE(bench.Get<QStackedWidget>("pgcEncodeImage")->currentIndex(), 4);

    // The destination cannot be written: its folder is a regular file.
    const std::string image = bench.CopyOfReference("base.gif");
    bench.HideThroughWizard(image, "text", {}, "pw", existing + "/out.gif");
    QCOMPARE(bench.dialogs.Texts().last(),
             SaveError("A file could not be written", existing + "/out.gif", "Not a directory"));
    QCOMPARE(Sha256Hex(existing), before);
}

void WizardTest::passwordPageIndicators() {
    WorkflowBench bench;
    bench.frame->ShowHideWizard();
    bench.Get<QComboBox>("cbbFiles")->setEditText("/some/image.jpg");
    for (int page = 0; page < 3; ++page)
        bench.Click("btnNext1");
    auto* pass1 = bench.Get<QLineEdit>("edtPass1");
    auto* pass2 = bench.Get<QLineEdit>("edtPass2");
    auto* next = bench.Get<QPushButton>("btnNext1");
    auto* right = bench.Get<QLabel>("imgRight");
    auto* wrong = bench.Get<QLabel>("imgError");
    auto* error = bench.Get<QLabel>("lblPasswordError");
    QCOMPARE(pass1->echoMode(), QLineEdit::Password);

    QVERIFY(!next->isEnabled());
    pass2->setText("abc");
    QVERIFY(right->isHidden() && wrong->isHidden() && error->isHidden());
    QVERIFY(!next->isEnabled());

    pass1->setText("abd");
    QVERIFY(right->isHidden() && !wrong->isHidden() && !error->isHidden());
    QVERIFY(!next->isEnabled());

    pass1->setText("ABC");
    QVERIFY(!next->isEnabled());

    pass1->setText("abc");
    QVERIFY(!right->isHidden() && wrong->isHidden() && error->isHidden());
    QVERIFY(next->isEnabled());
}

void WizardTest::backFromFirstPageClosesAndEscapeCancels() {
    WorkflowBench bench;
    bench.frame->ShowHideWizard();
    QVERIFY(!bench.Get<QPushButton>("btnNext1")->isEnabled()); // no recent image yet
    bench.Get<QComboBox>("cbbFiles")->setEditText("/pictures/cat.jpg");
    QCOMPARE(bench.host.images.last(), QStringLiteral("/pictures/cat.jpg"));
    QVERIFY(bench.Get<QPushButton>("btnNext1")->isEnabled());

    bench.Click("btnBack1");
    QVERIFY(bench.frame->isHidden());
    QCOMPARE(bench.host.images.last(), QString());
    QCOMPARE(bench.host.mainPanel.last(), true);

    bench.frame->ShowHideWizard();
    QApplication::setActiveWindow(&bench.host.window);
    QVERIFY(QTest::qWaitForWindowActive(&bench.host.window));
    QVERIFY(bench.Get<QComboBox>("cbbFiles")->hasFocus());
    bench.Get<QComboBox>("cbbFiles")->setEditText("/pictures/cat.jpg");
    bench.Click("btnNext1");
    QVERIFY(bench.Get<QPlainTextEdit>("mmoMsg")->hasFocus());
    QTest::keyClick(bench.Get<QPlainTextEdit>("mmoMsg"), Qt::Key_Escape);
    QVERIFY(bench.frame->isHidden());
    QVERIFY(bench.dialogs.shown.isEmpty());
}

void WizardTest::recentListKeepsTenNewestFirst() {
    WorkflowBench bench;
    auto enter = [&bench](const QString& path) {
        bench.frame->ShowHideWizard();
        bench.Get<QComboBox>("cbbFiles")->setEditText(path);
        bench.Click("btnNext1");
    };
    for (int i = 0; i < 11; ++i)
        enter(QStringLiteral("/pictures/%1.jpg").arg(i));
    enter(QStringLiteral("/pictures/10.jpg"));
    enter(QStringLiteral("/pictures/4.jpg"));

    const QStringList stored = ReadRecentImages();
    QStringList expected{QStringLiteral("/pictures/4.jpg"), QStringLiteral("/pictures/10.jpg")};
    for (int i = 9; i >= 2; --i) {
        if (i != 4)
            expected.append(QStringLiteral("/pictures/%1.jpg").arg(i));
    }
    expected.append(QStringLiteral("/pictures/1.jpg"));
    QCOMPARE(stored, expected);

    bench.frame->ShowHideWizard();
    auto* combo = bench.Get<QComboBox>("cbbFiles");
    QCOMPARE(combo->currentText(), QStringLiteral("/pictures/4.jpg"));
    QCOMPARE(combo->count(), 10);
    QCOMPARE(combo->itemText(1), QStringLiteral("/pictures/10.jpg"));
}

void WizardTest::recentListWorksWhenStoreCannotBeWritten() {
    WorkflowBench bench;
    // From here on the configuration folder lies below a regular file.
    const std::string blocker = bench.MakeFile("blocker", 1, 1);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(blocker));
    SetProgramFolderOverride(bench.dir / "no-such-folder");

    bench.frame->ShowHideWizard();
    QCOMPARE(bench.Get<QComboBox>("cbbFiles")->currentText(), QString());
    bench.Get<QComboBox>("cbbFiles")->setEditText("/pictures/cat.jpg");
    bench.Click("btnNext1");
    QCOMPARE(bench.Get<QStackedWidget>("pgcEncodeImage")->currentIndex(), 1);
    QCOMPARE(bench.frame->RecentImages().first(), QStringLiteral("/pictures/cat.jpg"));
    QVERIFY(ReadRecentImages().first().isEmpty());
    QVERIFY(bench.dialogs.shown.isEmpty());
    qunsetenv("XDG_CONFIG_HOME");
}

void WizardTest::typedWorkIsNotThrownAwayWithoutAQuestion_data() {
    QTest::addColumn<QString>("typed"); // what the user typed: message, file or password
    QTest::addColumn<int>("page");      // the page the wizard is closed from
    QTest::addColumn<QString>("how");   // cancel, escape or back
    QTest::newRow("message, Cancel") << "message" << 1 << "cancel";
    QTest::newRow("file, Esc") << "file" << 2 << "escape";
    QTest::newRow("password, Cancel") << "password" << 3 << "cancel";
    QTest::newRow("message, Back on the first page") << "message" << 0 << "back";
}

void WizardTest::typedWorkIsNotThrownAwayWithoutAQuestion() {
    QFETCH(QString, typed);
    QFETCH(int, page);
    QFETCH(QString, how);
    WorkflowBench bench;
    QApplication::setActiveWindow(&bench.host.window);
    QVERIFY(QTest::qWaitForWindowActive(&bench.host.window));
    bench.frame->ShowHideWizard();
    bench.Get<QComboBox>("cbbFiles")->setEditText("/pictures/cat.jpg");
    bench.Click("btnNext1");
    if (typed == "message")
        bench.Get<QPlainTextEdit>("mmoMsg")->setPlainText("keep me");
    bench.Click("btnNext1");
    if (typed == "file") {
        bench.dialogs.fileLists.push_back({QString::fromStdString(bench.MakeFile("f.txt", 5, 1))});
        bench.Click("btnAdd");
    }
    bench.Click("btnNext1");
    if (typed == "password")
        bench.Get<QLineEdit>("edtPass1")->setText("half typed");
    auto* pages = bench.Get<QStackedWidget>("pgcEncodeImage");
    while (pages->currentIndex() > page)
        bench.Click("btnBack1");

    auto close = [&] {
        if (how == "cancel")
            bench.Click("btnCencel1");
        else if (how == "back")
            bench.Click("btnBack1");
        else
            QTest::keyClick(pages->currentWidget()->focusWidget() != nullptr
                                ? pages->currentWidget()->focusWidget()
                                : pages->currentWidget(),
                            Qt::Key_Escape);
    };
    bench.dialogs.answers.push_back(Answer::No);
    close();
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown[0].kind, QStringLiteral("question"));
    QCOMPARE(bench.dialogs.shown[0].text, kDiscard);
    QCOMPARE(pages->currentIndex(), page);
    const bool kept = bench.Get<QPlainTextEdit>("mmoMsg")->toPlainText() == "keep me" ||
                      bench.Get<QTreeWidget>("lvFiles")->topLevelItemCount() == 1 ||
                      bench.Get<QLineEdit>("edtPass1")->text() == "half typed";
    QVERIFY(kept);

    bench.dialogs.answers.push_back(Answer::Yes);
    close();
    QVERIFY(bench.frame->isHidden());
    QCOMPARE(bench.host.mainPanel.last(), true);
    QCOMPARE(bench.dialogs.unanswered, 0);
}

void WizardTest::escapeInTheRecentListClosesOnlyTheList() {
    WorkflowBench bench;
    WriteRecentImages({QStringLiteral("/pictures/a.jpg"), QStringLiteral("/pictures/b.jpg")});
    QApplication::setActiveWindow(&bench.host.window);
    QVERIFY(QTest::qWaitForWindowActive(&bench.host.window));
    bench.frame->ShowHideWizard();
    auto* combo = bench.Get<QComboBox>("cbbFiles");
    combo->showPopup();
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QWidget* popup = QApplication::activePopupWidget();
    QTest::keyClick(popup->focusWidget() != nullptr ? popup->focusWidget() : popup, Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(!combo->view()->isVisible());
    QVERIFY(!bench.frame->isHidden());
    QCOMPARE(combo->currentText(), QStringLiteral("/pictures/a.jpg"));

    // Without an open list Esc still cancels the wizard.
    QTest::keyClick(combo, Qt::Key_Escape);
    QVERIFY(bench.frame->isHidden());
}

void WizardTest::pictureDialogListsPngWebpAndTiff() {
    WorkflowBench bench;
    bench.frame->ShowHideWizard();
    bench.Click("btnSelImg");
    QCOMPARE(bench.dialogs.pictureFilters.size(), 1);
    const QStringList filters = bench.dialogs.pictureFilters.first();
    // "All (...)" shows a folder of such pictures, each new kind has an entry of its own,
    // and the entries that were there stay.
    const QString all = filters.first();
    QVERIFY(all.startsWith(QLatin1String("All (*.pcx;")));
    const QStringList patterns =
        all.mid(all.lastIndexOf(u'(') + 1).chopped(1).split(u' ', Qt::SkipEmptyParts);
    for (const char* name : {"a.png", "b.webp", "c.tif", "d.tiff", "e.jpg", "f.wmf", "g.pcx"})
        QVERIFY2(QDir::match(patterns, QLatin1String(name)), name);
    for (const char* entry : {"PNG Image (*.png)", "WebP Image (*.webp)", "TIFF Image (*.tif)",
                              "TIFF Image (*.tiff)", "Metafiles (*.wmf)", "Bitmaps (*.bmp)"})
        QVERIFY2(filters.filter(QLatin1String(entry)).size() == 1, entry);
    QCOMPARE(filters.size(), 18);
}

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
