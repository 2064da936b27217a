// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard's first page judges the cover as lumora-cli does: a file that is no
// picture is refused with its reason, one that already holds data (or a drawing that data
// behind it would break) is taken only when the user agrees, and a save then writes it.
#include "workflow/WorkflowBench.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTest>

using namespace lumora;
using namespace lumora::test;

namespace {

// The cover the test chooses, made in the bench's folder; its path.
std::string MakeCover(WorkflowBench& bench, const QString& kind) {
    if (kind == "picture")
        return bench.CopyOfReference("base.png", "cover.png");
    if (kind == "classic carrier")
        return bench.MakeCarrier("cover.png", "old", "old message", {});
    if (kind == "picture with data after it") {
        const std::string path = bench.CopyOfReference("base.png", "cover.png");
        std::vector<uint8_t> bytes = ReadFile(path);
        const std::vector<uint8_t> tail = PseudoRandomBytes(700, 7);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        WriteFile(path, bytes);
        return path;
    }
    const std::string path = bench.dir / "cover.png";
    if (kind == "text")
        WriteText(path, "a secret that is no picture\n");
    else if (kind == "empty")
        WriteText(path, "");
    else if (kind == "drawing")
        WriteText(path, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                        "<rect width=\"8\" height=\"8\"/></svg>\n");
    return path;
}

} // namespace

class CoverPageTest : public QObject {
    Q_OBJECT
private slots:
    void coversAreJudgedOnTheFirstPage_data();
    void coversAreJudgedOnTheFirstPage();
    void aCoverReplacedAfterThePageIsJudgedAtTheSave_data();
    void aCoverReplacedAfterThePageIsJudgedAtTheSave();
};

void CoverPageTest::coversAreJudgedOnTheFirstPage_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("box"); // the kind of box shown at Next, empty for none
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<bool>("movesOn");
    const QString notAPicture = "%1 is not a picture Lumora can read. Please choose a picture "
                                "(JPEG, PNG, GIF, BMP, WebP, TIFF, ICO, WMF or EMF) to hide the "
                                "data in.";
    const QString holdsData = "%1 already holds data after the end of its picture, such as "
                              "another carrier's hidden data, which would stay inside the new "
                              "image. Do you want to use it anyway?";
    const QString breaks = "%1 is a picture in a text format (such as SVG), which shows nothing "
                           "once data follows it. Do you want to hide the data in it anyway?";
    QTest::newRow("picture") << "picture"
                             << ""
                             << "" << false << true;
    QTest::newRow("classic carrier: only its picture is kept") << "classic carrier"
                                                               << ""
                                                               << "" << false << true;
    QTest::newRow("missing: left to the save") << "missing"
                                               << ""
                                               << "" << false << true;
    QTest::newRow("text") << "text"
                          << "error" << notAPicture << false << false;
    QTest::newRow("empty") << "empty"
                           << "error"
                           << "%1 is empty: there is no picture to hide data in." << false << false;
    QTest::newRow("data after the picture, declined") << "picture with data after it"
                                                      << "question" << holdsData << false << false;
    QTest::newRow("data after the picture, agreed") << "picture with data after it"
                                                    << "question" << holdsData << true << true;
    QTest::newRow("drawing, declined") << "drawing"
                                       << "question" << breaks << false << false;
    QTest::newRow("drawing, agreed") << "drawing"
                                     << "question" << breaks << true << true;
}

void CoverPageTest::coversAreJudgedOnTheFirstPage() {
    QFETCH(QString, kind);
    QFETCH(QString, box);
    QFETCH(QString, reason);
    QFETCH(bool, agree);
    QFETCH(bool, movesOn);
    WorkflowBench bench;
    const std::string cover = MakeCover(bench, kind);
    bench.frame->ShowHideWizard();
    // Typed (or dropped, which types the path) rather than chosen in the dialog.
    bench.Get<QComboBox>("cbbFiles")->setEditText(QString::fromStdString(cover));
    if (box == "question")
        bench.dialogs.answers.push_back(agree ? Answer::Yes : Answer::No);
    bench.Click("btnNext1");

    QCOMPARE(bench.dialogs.shown.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(bench.dialogs.shown.first().kind, box);
        QCOMPARE(bench.dialogs.shown.first().text, reason.arg(QString::fromStdString(cover)));
    }
    auto* pages = bench.Get<QStackedWidget>("pgcEncodeImage");
    QCOMPARE(pages->currentIndex(), movesOn ? 1 : 0);
    if (!movesOn || kind == "missing")
        return;

    // The save writes what was taken, asking nothing more.
    bench.dialogs.shown.clear();
    bench.Get<QPlainTextEdit>("mmoMsg")->setPlainText("hidden");
    bench.Click("btnNext1");
    bench.Click("btnNext1");
    bench.Click("btnNext1"); // an empty password pair
    const std::string target = bench.dir / "new.png";
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnSave");
    QCOMPARE(bench.dialogs.Texts(), QStringList{WorkflowBench::SavedAs(target)});
    QVERIFY(ReadAnyCarrier(target, "").opened);
}

void CoverPageTest::aCoverReplacedAfterThePageIsJudgedAtTheSave_data() {
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("reason");
    QTest::newRow("text") << "text"
                          << "error"
                          << "There are some errors when saved, please try again.\n%1 is not a "
                             "picture Lumora can read. Please choose a picture (JPEG, PNG, GIF, "
                             "BMP, WebP, TIFF, ICO, WMF or EMF) to hide the data in.";
    QTest::newRow("data after the picture, declined")
        << "picture with data after it"
        << "question"
        << "%1 already holds data after the end of its picture, such as another carrier's hidden "
           "data, which would stay inside the new image. Do you want to use it anyway?";
}

void CoverPageTest::aCoverReplacedAfterThePageIsJudgedAtTheSave() {
    QFETCH(QString, replacement);
    QFETCH(QString, box);
    QFETCH(QString, reason);
    WorkflowBench bench;
    const std::string cover = MakeCover(bench, "picture");
    const std::string target = bench.dir / "new.png";
    bench.WizardToLastPage(cover, QStringLiteral("hidden"), {}, QStringLiteral("pw"));
    QCOMPARE(bench.dialogs.shown.size(), 0);
    MakeCover(bench, replacement);
    bench.dialogs.answers.push_back(Answer::No);
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnSave");
    QCOMPARE(bench.dialogs.shown.size(), 1);
    QCOMPARE(bench.dialogs.shown.first().kind, box);
    QCOMPARE(bench.dialogs.shown.first().text, reason.arg(QString::fromStdString(cover)));
    QVERIFY(!FileExists(target));
    QVERIFY(!bench.frame->IsSaved());
}

QTEST_MAIN(CoverPageTest)
#include "CoverPageTest.moc"
