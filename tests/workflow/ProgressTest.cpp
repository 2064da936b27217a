// SPDX-License-Identifier: GPL-2.0-or-later
// Progress of long saves and opens: what the engine reports, cancelling half-way, and the
// frame's progress dialog with its Cancel button.
#include "engine/BindImage.h"
#include "ini/IniFile.h"
#include "workflow/BackgroundWork.h"
#include "workflow/WorkflowBench.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

using namespace lumora;
using namespace lumora::test;

namespace {

struct Report {
    std::string step;
    int64_t done;
    int64_t total;
};

// Records every report; asks to stop once `stopStep` is half done.
class Recorder : public CProgressObserver {
public:
    bool OnProgress(ProgressStep id, int64_t done, int64_t total) override {
        const std::string step = ProgressStepName(id);
        reports.push_back({step, done, total});
        return !(step == stopStep && done * 2 >= total);
    }
    std::vector<Report> reports;
    std::string stopStep;
};

// Each step runs once, in `order`; inside it the bytes never go back, the total never
// changes, and the last report reaches the total.
void CheckSteps(const std::vector<Report>& reports, const std::vector<std::string>& order) {
    std::vector<std::string> seen;
    for (size_t i = 0; i < reports.size(); ++i) {
        const Report& report = reports[i];
        QVERIFY2(report.done >= 0 && report.done <= report.total, report.step.c_str());
        if (seen.empty() || seen.back() != report.step) {
            seen.push_back(report.step);
            continue;
        }
        const Report& before = reports[i - 1];
        QVERIFY2(report.done >= before.done, report.step.c_str());
        QCOMPARE(report.total, before.total);
    }
    QCOMPARE(seen, order);
    for (size_t i = 0; i < reports.size(); ++i) {
        const bool lastOfStep = i + 1 == reports.size() || reports[i + 1].step != reports[i].step;
        if (lastOfStep)
            QVERIFY2(reports[i].done == reports[i].total, reports[i].step.c_str());
    }
}

// The files beside a destination, without the working folders of the engines.
std::set<std::string> FilesBeside(const std::string& folder) {
    const std::vector<std::string> entries = FolderEntries(folder);
    std::set<std::string> names(entries.begin(), entries.end());
    names.erase("cache");
    return names;
}

// Watches the frame's progress dialog from inside the operation: the dialog's owner
// repaints through the event loop, which runs this once per pass. Records the captions
// and presses Cancel the first time the caption ends with `cancelAt`.
class DialogWatcher {
public:
    DialogWatcher(QWidget* window, QString cancelAt) : m_state(std::make_shared<State>()) {
        m_state->window = window;
        m_state->cancelAt = std::move(cancelAt);
        Post(m_state);
    }
    ~DialogWatcher() {
        m_state->stop = true;
        QCoreApplication::processEvents();
    }
    const QStringList& Captions() const { return m_state->captions; }
    bool SawVisibleDialog() const { return m_state->sawVisible; }

private:
    struct State {
        QWidget* window = nullptr;
        QString cancelAt;
        QStringList captions;
        bool stop = false;
        bool sawVisible = false;
    };
    static void Post(std::shared_ptr<State> state) {
        QMetaObject::invokeMethod(
            qApp,
            [state] {
                if (state->stop)
                    return;
                if (auto* dialog = state->window->findChild<QProgressDialog*>("dlgProgress")) {
                    if (state->captions.isEmpty() || state->captions.back() != dialog->labelText())
                        state->captions.append(dialog->labelText());
                    state->sawVisible = state->sawVisible || dialog->isVisible();
                    if (!state->cancelAt.isEmpty() &&
                        dialog->labelText().endsWith(state->cancelAt)) {
                        dialog->cancel();
                        state->cancelAt.clear(); // once
                    }
                }
                Post(state);
            },
            Qt::QueuedConnection);
    }
    std::shared_ptr<State> m_state;
};

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    void saveAndOpenReportEachStepUpToItsTotal();
    void cancellingHalfWayKeepsTheDestination();
    void frameShowsTheStepsAndItsCancelStopsTheSave();
    void cancelledLoadShowsNothing();
    void cancelStopsSavingOutSeveralFiles();
    void cancelReturnsAtOnceFromWorkThatCannotStop();
};

void ProgressTest::saveAndOpenReportEachStepUpToItsTotal() {
    WorkflowBench bench;
    const std::string image = bench.CopyOfReference("base.png");
    const std::string big = bench.MakeFile("big.bin", 3 << 20, 5);
    const std::string small = bench.MakeFile("small.txt", 300, 6);
    const std::string carrier = bench.dir / "carrier.png";
    Recorder saving;
    {
        CBindImage engine;
        engine.SetPassword(Password("pw"));
        QCOMPARE(engine.OpenCarrier(image, OPEN_UNPACK), 1);
        engine.SetMessage("hello");
        QCOMPARE(engine.AddFileSlot(big, SLOT_ADDED, -1, 0), 0);
        QCOMPARE(engine.AddFileSlot(small, SLOT_ADDED, -1, 0), 1);
        engine.SetProgressObserver(&saving);
        QCOMPARE(engine.SaveCarrier(carrier), 1);
    }
    CheckSteps(saving.reports, {"Copying image", "Packing files", "Encrypting"});
    QVERIFY(saving.reports.size() > 6); // a 3 MB file is reported on its way

    Recorder opening;
    CBindImage engine;
    engine.SetProgressObserver(&opening);
    engine.SetPassword(Password("pw"));
    QCOMPARE(engine.OpenCarrier(carrier, OPEN_UNPACK), 1);
    CheckSteps(opening.reports, {"Copying image", "Decrypting"});
    Recorder extracting;
    engine.SetProgressObserver(&extracting);
    std::string copy;
    QCOMPARE(engine.ExtractHiddenFile(0, copy), 1);
    CheckSteps(extracting.reports, {"Unpacking"});
    QCOMPARE(extracting.reports.back().total, int64_t{3 << 20});

    // A re-save keeping both files copies them as they are stored, without unpacking them.
    Recorder resaving;
    CBindImage again;
    again.SetPassword(Password("pw"));
    QCOMPARE(again.OpenCarrier(carrier, OPEN_UNPACK), 1);
    again.DropAllFiles();
    for (int k = 0; k < 2; ++k)
        QCOMPARE(again.SetSlotState(k, SLOT_STORED), 1);
    again.SetProgressObserver(&resaving);
    QCOMPARE(again.SaveCarrier(carrier), 1);
    CheckSteps(resaving.reports, {"Copying image", "Packing files", "Encrypting"});
    QCOMPARE(ReadCarrier(carrier, "pw").files.size(), size_t{2});
}

void ProgressTest::cancellingHalfWayKeepsTheDestination() {
    WorkflowBench bench;
    const std::string big = bench.MakeFile("big.bin", 2 << 20, 7);
    const std::string dest = bench.MakeCarrier("dest.png", "old", "old message", {});
    QVERIFY(!dest.empty());
    const auto before = ReadFile(dest);
    const auto entries = FilesBeside(bench.dir.Path());
    for (const char* step : {"Packing files", "Encrypting"}) {
        Recorder recorder;
        recorder.stopStep = step;
        CBindImage engine;
        engine.SetPassword(Password("pw"));
        QCOMPARE(engine.OpenCarrier(bench.dir / "dest.png.source.png", OPEN_UNPACK), 1);
        QCOMPARE(engine.AddFileSlot(big, SLOT_ADDED, -1, 0), 0);
        engine.SetProgressObserver(&recorder);
        QCOMPARE(engine.SaveCarrier(dest), 0);
        QCOMPARE(engine.LastStatus().reason, Reason::Cancelled);
        // Nothing was reported after the request to stop.
        QCOMPARE(recorder.reports.back().step, std::string(step));
        QVERIFY(recorder.reports.back().done * 2 >= recorder.reports.back().total);
        QVERIFY(ReadFile(dest) == before);
        QCOMPARE(FilesBeside(bench.dir.Path()), entries);
    }
    QCOMPARE(ReadCarrier(dest, "old").message, std::string("old message"));
}

void ProgressTest::frameShowsTheStepsAndItsCancelStopsTheSave() {
    WorkflowBench bench;
    const QString big = QString::fromStdString(bench.MakeFile("big.bin", 24 << 20, 3));
    const std::string dest = bench.MakeFile("dest.png", 1000, 4);
    const auto before = ReadFile(dest);
    bench.WizardToLastPage(bench.CopyOfReference("base.png"), QStringLiteral("message"), {big},
                           QStringLiteral("pw"));
    const auto entries = FilesBeside(bench.dir.Path());

    {
        DialogWatcher watcher(&bench.host.window, QStringLiteral("Encrypting"));
        bench.dialogs.savePaths.push_back(QString::fromStdString(dest));
        bench.Click("btnSave");
        QVERIFY(watcher.Captions().contains("Saving the image...\nCopying the picture"));
        QVERIFY(
            watcher.Captions().contains("Saving the image...\nPacking the message and the files"));
        QCOMPARE(watcher.Captions().back(), QStringLiteral("Saving the image...\nEncrypting"));
    }
    QVERIFY(ReadFile(dest) == before);
    QCOMPARE(FilesBeside(bench.dir.Path()), entries);
    QVERIFY(bench.dialogs.shown.isEmpty()); // a stopped save is no error
    QVERIFY(!bench.frame->IsSaved());
    QVERIFY(bench.frame->isVisible());

    // Finish, Yes, and a save stopped again: the wizard stays open with its work.
    bench.dialogs.answers.push_back(Answer::Yes);
    bench.dialogs.savePaths.push_back(QString::fromStdString(dest));
    {
        DialogWatcher watcher(&bench.host.window,
                              QStringLiteral("Packing the message and the files"));
        bench.Click("btnCencel1");
    }
    QVERIFY(bench.frame->isVisible());
    QVERIFY(ReadFile(dest) == before);

    // Not stopped: the carrier is written, and the dialog's texts are in the language file.
    bench.dialogs.savePaths.push_back(QString::fromStdString(dest));
    bench.Click("btnSave");
    QVERIFY(bench.frame->IsSaved());
    QVERIFY(ReadCarrier(dest, "pw").files.at("big.bin") == ReadFile(big.toStdString()));
    IniFile language(bench.dir / "lang/English.ini");
    QCOMPARE(language.ReadString("TframeMsg", "strSaving"), std::string("Saving the image..."));
    QCOMPARE(language.ReadString("TframeMsg", "strStepEncrypting"), std::string("Encrypting"));
}

void ProgressTest::cancelledLoadShowsNothing() {
    WorkflowBench bench;
    const std::string big = bench.MakeFile("big.bin", 24 << 20, 8);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "secret", {big});
    QVERIFY(!carrier.empty());
    {
        DialogWatcher watcher(&bench.host.window, QStringLiteral("Decrypting"));
        QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 0);
        QCOMPARE(watcher.Captions().back(), QStringLiteral("Opening the image...\nDecrypting"));
    }
    QVERIFY(!bench.frame->isVisible());
    QVERIFY(!bench.frame->HoldsCarrier());
    QVERIFY(bench.host.infos.isEmpty());
    QVERIFY(bench.dialogs.shown.isEmpty());

    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), QStringLiteral("secret"));

    // Opening the large hidden file can be stopped too; nothing is opened then.
    auto* list = bench.Get<QTreeWidget>("lvDeFiles");
    list->topLevelItem(0)->setSelected(true);
    {
        DialogWatcher watcher(&bench.host.window, QStringLiteral("Unpacking the files"));
        bench.Click("btnDeOpen");
        QCOMPARE(watcher.Captions().back(),
                 QStringLiteral("Getting the hidden file...\nUnpacking the files"));
    }
    QVERIFY(bench.dialogs.opened.isEmpty());
    bench.Click("btnDeOpen");
    QCOMPARE(bench.dialogs.opened.size(), 1);
    QVERIFY(ReadFile(bench.dialogs.opened[0].toStdString()) == ReadFile(big));
}

void ProgressTest::cancelStopsSavingOutSeveralFiles() {
    WorkflowBench bench;
    const std::string one = bench.MakeFile("one.bin", 6 << 20, 1);
    const std::string two = bench.MakeFile("two.bin", 6 << 20, 2);
    const std::string carrier = bench.MakeCarrier("c.png", "pw", "", {one, two});
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), "pw"), 1);
    bench.Get<QTreeWidget>("lvDeFiles")->selectAll();
    const std::string folder = bench.dir / "out";
    std::filesystem::create_directory(folder);
    bench.dialogs.folders.push_back(QString::fromStdString(folder));
    {
        DialogWatcher watcher(&bench.host.window, QStringLiteral("Unpacking the files"));
        bench.Click("btnDeSaveFilesAs");
    }
    QVERIFY(FilesBeside(folder).empty());

    bench.dialogs.folders.push_back(QString::fromStdString(folder));
    bench.Click("btnDeSaveFilesAs");
    QCOMPARE(FilesBeside(folder), (std::set<std::string>{"one.bin", "two.bin"}));
}

// A key derivation cannot be interrupted: Cancel returns at once while the work runs on,
// and the dialog shows the step as busy, without a measure.
void ProgressTest::cancelReturnsAtOnceFromWorkThatCannotStop() {
    WorkflowBench bench;
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    int busyBarMaximum = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = bench.host.window.findChild<QProgressDialog*>("dlgProgress");
        if (dialog == nullptr || !dialog->labelText().endsWith("strStepDerivingKey"))
            return;
        busyBarMaximum = dialog->findChild<QProgressBar*>()->maximum();
        dialog->cancel();
    });
    watch.start(5);
    const Status status = RunInBackground(
        &bench.host.window, "Opening", [](const char* key) { return QString::fromLatin1(key); },
        [release, ended](CProgressObserver& observer) {
            observer.OnProgress(ProgressStep::DerivingKey, 0, 0);
            while (!*release)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            *ended = true;
            return Status::Success();
        });
    watch.stop();
    QCOMPARE(status.reason, Reason::Cancelled);
    QCOMPARE(busyBarMaximum, 0);
    QVERIFY(!*ended);
    *release = true;
    QThreadPool::globalInstance()->waitForDone();
    QVERIFY(*ended);

    // Work that ends by itself gives its own status.
    const Status done = RunInBackground(
        &bench.host.window, "Opening", [](const char* key) { return QString::fromLatin1(key); },
        [](CProgressObserver&) { return Status::Fail(Reason::NoData, "none"); });
    QCOMPARE(done.reason, Reason::NoData);
    QCOMPARE(done.subject, std::string("none"));
}

QTEST_MAIN(ProgressTest)
#include "ProgressTest.moc"
