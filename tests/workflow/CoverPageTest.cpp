// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard judges the cover as lumora-cli does, on its first page and again at the
// save: a file that is no picture is refused with its reason, one that holds data is taken
// once the user agrees.
#include "workflow/WorkflowBench.h"

#include <QComboBox>
#include <QStackedWidget>
#include <QTest>

using namespace lumora;
using namespace lumora::test;

namespace {

void MakeCover(const QString& kind, const std::string& path) {
    std::vector<uint8_t> bytes = ReadFile(ReferenceFile("base.png"));
    if (kind == "text")
        bytes.assign(11, 'x');
    else if (kind == "picture and data")
        bytes.insert(bytes.end(), 700, 0x5a);
    WriteFile(path, bytes);
}

} // namespace

class CoverPageTest : public QObject {
    Q_OBJECT
private slots:
    void coversAreJudged_data();
    void coversAreJudged();
};

void CoverPageTest::coversAreJudged_data() {
    for (const char* column : {"cover", "later", "asked"}) // later: put there before the save
        QTest::addColumn<QString>(column);
    QTest::addColumn<bool>("agree");
    const QString notAPicture = "%1 is not a picture Lumora can read. Please choose a picture "
                                "(JPEG, PNG, GIF, BMP, WebP, TIFF, ICO, WMF or EMF) to hide the "
                                "data in.";
    const QString holdsData = "%1 already holds data after the end of its picture, such as "
                              "another carrier's hidden data, which would stay inside the new "
                              "image. Do you want to use it anyway?";
    QTest::newRow("picture") << "picture"
                             << ""
                             << "" << false;
    QTest::newRow("text") << "text"
                          << "" << notAPicture << false;
    QTest::newRow("data after it, declined") << "picture and data"
                                             << "" << holdsData << false;
    QTest::newRow("data after it, agreed") << "picture and data"
                                           << "" << holdsData << true;
    QTest::newRow("text at the save")
        << "picture"
        << "text"
        << "There are some errors when saved, please try again.\n" + notAPicture << false;
}

void CoverPageTest::coversAreJudged() {
    QFETCH(QString, cover);
    QFETCH(QString, later);
    QFETCH(QString, asked);
    QFETCH(bool, agree);
    WorkflowBench bench;
    const std::string path = bench.dir / "cover.png";
    const std::string target = bench.dir / "new.png";
    MakeCover(cover, path);
    bench.dialogs.answers.push_back(agree ? Answer::Yes : Answer::No);
    const QStringList box{asked.isEmpty() ? asked : asked.arg(QString::fromStdString(path))};
    if (later.isEmpty() && !asked.isEmpty() && !agree) {
        bench.frame->ShowHideWizard(); // typed, as a drop types it
        bench.Get<QComboBox>("cbbFiles")->setEditText(QString::fromStdString(path));
        bench.Click("btnNext1");
        QCOMPARE(bench.Get<QStackedWidget>("pgcEncodeImage")->currentIndex(), 0);
        QCOMPARE(bench.dialogs.Texts(), box);
        return;
    }
    bench.WizardToLastPage(path, QStringLiteral("hidden"), {}, QStringLiteral("pw"));
    if (!later.isEmpty())
        MakeCover(later, path);
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnSave");
    const QStringList saved{WorkflowBench::SavedAs(target)};
    QCOMPARE(bench.dialogs.Texts(),
             asked.isEmpty() ? saved : box + (agree ? saved : QStringList()));
    QCOMPARE(ReadAnyCarrier(target, "pw").opened, later.isEmpty());
}

QTEST_MAIN(CoverPageTest)
#include "CoverPageTest.moc"
