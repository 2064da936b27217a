// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard's password page and what follows from it: the woven format with the
// picture's room, content above it refused or hidden anyway, a woven carrier opened,
// edited and saved back in the reveal view, the password's strength, and the key
// derivations of sealed and woven saves, which run off the interface thread.
#include "workflow/WorkflowBench.h"

#include "crypt/KeyFormats.h"
#include "crypt/WovenKeys.h"
#include "engine/WovenCarrier.h"
#include "picture/ByteSource.h"
#include "text/FormatFileSize.h"
#include "workflow/SettingsStore.h"
#include "workflow/WovenRoom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStackedWidget>
#include <QTest>

using namespace lumora;
using namespace lumora::test;

namespace {

// Woven carriers use the cheap key derivation of tests while one of these lives.
struct WovenTestFormat {
    WovenTestFormat() { UseWovenTestFormat(true); }
    ~WovenTestFormat() { UseWovenTestFormat(false); }
};

// A picture of noise, which carries woven data as a photograph does, in `format`.
std::string MakeNoisePicture(const WorkflowBench& bench, const std::string& name,
                             QImage::Format format, const char* kind) {
    QImage image(400, 300, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    }
    image = image.convertToFormat(format);
    const std::string path = bench.dir / name;
    return image.save(QString::fromStdString(path), kind, 95) ? path : std::string();
}

WovenSize CapacityOf(const std::string& picture) {
    const std::vector<uint8_t> bytes = ReadFile(picture);
    return WovenCapacity(MemorySource(bytes)).size;
}

QString Size(uint64_t bytes) {
    return QString::fromStdString(FormatFileSize(static_cast<int64_t>(bytes)));
}

// Walks the wizard to its password page with this content and the format of the radio
// button named chosen, the password typed, and waits until a woven picture is measured.
void ToPasswordPage(WorkflowBench& bench, const std::string& image, const QString& message,
                    const QStringList& files, const char* format = "rbWoven") {
    bench.frame->ShowHideWizard();
    bench.Get<QComboBox>("cbbFiles")->setEditText(QString::fromStdString(image));
    bench.Click("btnNext1");
    bench.Get<QPlainTextEdit>("mmoMsg")->setPlainText(message);
    bench.Click("btnNext1");
    if (!files.isEmpty()) {
        bench.dialogs.fileLists.push_back(files);
        bench.Click("btnAdd");
    }
    bench.Click("btnNext1");
    bench.Get<QRadioButton>(format)->click();
    bench.Get<QLineEdit>("edtPass1")->setText("pw");
    bench.Get<QLineEdit>("edtPass2")->setText("pw");
    QTRY_VERIFY(bench.Get<QPushButton>("btnNext1")->isEnabled());
}

// Hides "note" into image through the wizard to target under "pw", in the format named.
void HideThroughWizardAs(WorkflowBench& bench, const std::string& image, const char* format,
                         const std::string& target) {
    ToPasswordPage(bench, image, "note", {}, format);
    bench.Click("btnNext1");
    bench.dialogs.savePaths.push_back(QString::fromStdString(target));
    bench.Click("btnSave");
}

QString PageName(const WorkflowBench& bench) {
    return bench.Get<QStackedWidget>("pgcEncodeImage")->currentWidget()->objectName();
}

} // namespace

class PasswordPageTest : public QObject {
    Q_OBJECT
private slots:
    void wovenRoomOfEachKind_data();
    void wovenRoomOfEachKind();
    void contentAboveTheRoomNeedsHideAnyway();
    void wovenCarrierOpensEditsAndSavesBack();
    void strengthFollowsPasswordAndFormat_data();
    void strengthFollowsPasswordAndFormat();
    void saveKeysAreDerivedInTheBackground_data();
    void saveKeysAreDerivedInTheBackground();
};

void PasswordPageTest::wovenRoomOfEachKind_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format"); // QImage::Format; Format_Invalid: the reference GIF
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refusal"); // empty: the picture carries woven data
    QTest::newRow("JPEG") << "p.jpg" << int(QImage::Format_RGB32) << "JPG" << QString();
    QTest::newRow("PNG") << "p.png" << int(QImage::Format_RGB888) << "PNG" << QString();
    QTest::newRow("palette PNG")
        << "palette.png" << int(QImage::Format_Indexed8) << "PNG"
        << "The colours of palette.png come from a palette, which cannot carry woven data. "
           "Please convert it to a true-colour PNG first.";
    QTest::newRow("16-bit PNG") << "deep.png" << int(QImage::Format_RGBX64) << "PNG"
                                << "deep.png does not have 8-bit samples and cannot carry woven "
                                   "data. Please convert it to an 8-bit RGB PNG first.";
    QTest::newRow("GIF") << "base.gif" << int(QImage::Format_Invalid) << QString()
                         << "Data cannot be woven into base.gif. Please convert it to PNG first.";
}

// The line tells the content's bound against the engine's capacity, or the reason's own
// text; it is measured off the interface thread, and Next waits for it.
void PasswordPageTest::wovenRoomOfEachKind() {
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QString, kind);
    QFETCH(QString, refusal);
    const WovenTestFormat testFormat;
    WorkflowBench bench;
    const std::string picture =
        format == QImage::Format_Invalid
            ? bench.CopyOfReference(name.toStdString())
            : MakeNoisePicture(bench, name.toStdString(), static_cast<QImage::Format>(format),
                               kind.toLatin1().constData());
    QVERIFY(!picture.empty());
    const std::string file = bench.MakeFile("a.bin", 300, 3);
    bench.WizardToLastPage(picture, QStringLiteral("note"), {QString::fromStdString(file)}, "pw");
    bench.Click("btnBack1");
    auto* room = bench.Get<QLabel>("lblWovenRoom");
    QVERIFY(room->isHidden()); // classic chosen
    bench.Get<QRadioButton>("rbWoven")->click();
    QCOMPARE(ReadSetting("CarrierFormat"), QStringLiteral("woven"));
    QCOMPARE(room->text(), QStringLiteral("Measuring how much the picture can carry woven..."));
    QVERIFY(!bench.Get<QPushButton>("btnNext1")->isEnabled());
    QTRY_VERIFY(bench.Get<QPushButton>("btnNext1")->isEnabled());

    if (refusal.isEmpty()) {
        const uint64_t bound = ContentBound(4, {{"a.bin", 300}});
        QCOMPARE(room->text(), QStringLiteral("The content takes up to %1 of about %2 the picture "
                                              "can carry woven.")
                                   .arg(Size(bound), Size(CapacityOf(picture).capacityBytes)));
        bench.Click("btnNext1");
        QCOMPARE(PageName(bench), QStringLiteral("tsSaveImg"));
        QVERIFY(bench.dialogs.shown.isEmpty());
        return;
    }
    QCOMPARE(room->text(), refusal);
    QVERIFY(bench.Get<QCheckBox>("chkHideAnyway")->isHidden());
    bench.Click("btnNext1");
    QCOMPARE(PageName(bench), QStringLiteral("tsSetPass"));
    QCOMPARE(bench.dialogs.Texts(), QStringList{refusal});
}

// Content whose bound is just within the capacity saves without a question; above it Next
// refuses with the numbers until Hide anyway is ticked; above the limit it refuses for good.
void PasswordPageTest::contentAboveTheRoomNeedsHideAnyway() {
    const WovenTestFormat testFormat;
    WorkflowBench bench;
    const std::string picture = MakeNoisePicture(bench, "p.png", QImage::Format_RGB888, "PNG");
    const WovenSize size = CapacityOf(picture);
    uint64_t fitting = 0;
    while (ContentBound(0, {{"f.bin", fitting + 1}}) <= size.capacityBytes)
        ++fitting;
    QVERIFY(fitting > 100);
    const QStringList justFits{QString::fromStdString(bench.MakeFile("f.bin", fitting, 1))};
    ToPasswordPage(bench, picture, QString(), justFits);
    QVERIFY(bench.Get<QCheckBox>("chkHideAnyway")->isHidden());
    bench.Click("btnNext1");
    bench.dialogs.savePaths.push_back(QString::fromStdString(bench.dir / "fits.png"));
    bench.Click("btnSave");
    QCOMPARE(bench.dialogs.Texts(), QStringList{WorkflowBench::SavedAs(bench.dir / "fits.png")});
    QCOMPARE(ReadAnyCarrier(bench.dir / "fits.png", "pw").format, CarrierFormat::Woven);

    bench.dialogs.shown.clear();
    const std::string larger = bench.MakeFile("g.bin", fitting + 1000, 2);
    ToPasswordPage(bench, picture, QString(), {QString::fromStdString(larger)});
    auto* anyway = bench.Get<QCheckBox>("chkHideAnyway");
    QVERIFY(!anyway->isHidden());
    bench.Click("btnNext1");
    QCOMPARE(PageName(bench), QStringLiteral("tsSetPass"));
    const uint64_t bound = ContentBound(0, {{"g.bin", fitting + 1000}});
    QCOMPARE(bench.dialogs.Texts(),
             QStringList{QStringLiteral("The content takes up to %1, but the picture can carry "
                                        "only about %2 woven without its changes becoming easier "
                                        "to detect. Please choose fewer files, a larger picture "
                                        "or another format, or tick \"Hide anyway\".")
                             .arg(Size(bound), Size(size.capacityBytes))});
    anyway->click();
    bench.Click("btnNext1");
    QCOMPARE(PageName(bench), QStringLiteral("tsSaveImg"));
    bench.dialogs.savePaths.push_back(QString::fromStdString(bench.dir / "forced.png"));
    bench.Click("btnSave");
    // The consent went with the save: no question about the capacity.
    QCOMPARE(bench.dialogs.shown.size(), 2);
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("information"));
    const CarrierContents forced = ReadAnyCarrier(bench.dir / "forced.png", "pw");
    QCOMPARE(forced.format, CarrierFormat::Woven);
    QVERIFY(forced.files.at("g.bin") == ReadFile(larger));

    bench.dialogs.shown.clear();
    const std::string huge = bench.MakeFile("h.bin", size.limitBytes, 3);
    ToPasswordPage(bench, picture, QString(), {QString::fromStdString(huge)});
    QVERIFY(bench.Get<QCheckBox>("chkHideAnyway")->isHidden());
    bench.Click("btnNext1");
    QCOMPARE(PageName(bench), QStringLiteral("tsSetPass"));
    QVERIFY(bench.dialogs.Texts().value(0).startsWith(
        QStringLiteral("The content takes up to %1, but the picture can carry at most %2 woven.")
            .arg(Size(ContentBound(0, {{"h.bin", size.limitBytes}})), Size(size.limitBytes))));
}

// Load Data opens a woven picture with one key derivation; Save Image says once per session
// that each save adds changes, and the saved picture holds the edit.
void PasswordPageTest::wovenCarrierOpensEditsAndSavesBack() {
    const WovenTestFormat testFormat;
    WorkflowBench bench;
    const std::string cover = MakeNoisePicture(bench, "cover.jpg", QImage::Format_RGB32, "JPG");
    const std::string file = bench.MakeFile("f.txt", 40, 5);
    const std::string carrier = bench.dir / "woven.jpg";
    ToPasswordPage(bench, cover, "woven note", {QString::fromStdString(file)});
    bench.Click("btnNext1");
    bench.dialogs.savePaths.push_back(QString::fromStdString(carrier));
    bench.Click("btnSave");
    bench.dialogs.shown.clear();
    bench.frame->CloseFrame();

    bench.AnswerPrompt("wrong");
    bench.AnswerPrompt("pw");
    const uint64_t derivations = KeyDerivationsSoFar();
    QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
    QCOMPARE(KeyDerivationsSoFar() - derivations, uint64_t{2}); // one per password tried
    QCOMPARE(bench.promptErrorLines, (QStringList{"sealed hidden", "sealed shown"}));
    QCOMPARE(bench.Get<QPlainTextEdit>("mmoDeMsg")->toPlainText(), QStringLiteral("woven note"));
    QCOMPARE(Names(bench.Get<QTreeWidget>("lvDeFiles")), QStringList{"f.txt"});

    const QString note = QStringLiteral(
        "This image carries its hidden data woven into the picture. Each save weaves it in "
        "again and adds changes to the picture; hiding again into the original picture gives "
        "the cleanest result.");
    const QString saved = QStringLiteral("The image have been saved successfully.");
    for (const char* message : {"first edit", "second edit"}) {
        bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText(QString::fromLatin1(message));
        bench.Click("btnDeSave");
    }
    QCOMPARE(bench.dialogs.Texts(), (QStringList{note, saved, saved}));
    const CarrierContents contents = ReadAnyCarrier(carrier, "pw");
    QCOMPARE(contents.format, CarrierFormat::Woven);
    QCOMPARE(contents.message, std::string("second edit"));
    QVERIFY(contents.files.at("f.txt") == ReadFile(file));
    QCOMPARE(bench.dialogs.unanswered, 0);
}

void PasswordPageTest::strengthFollowsPasswordAndFormat_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("hint");
    QTest::newRow("empty") << ""
                           << "rbClassic" << 0 << QString() << false;
    QTest::newRow("common, classic") << "password"
                                     << "rbClassic" << 1 << "less than a second" << true;
    QTest::newRow("days, classic") << "Kettle-Morning-42"
                                   << "rbClassic" << 2 << "about 6 days" << true;
    QTest::newRow("days, sealed") << "kettle morning"
                                  << "rbSealed" << 2 << "about 3 days" << false;
    QTest::newRow("years, woven") << "qzxvkwpjrt"
                                  << "rbWoven" << 3 << "about 10 years" << false;
    QTest::newRow("years, classic") << "xkcd-rules-4ever"
                                    << "rbClassic" << 3 << "about 10 years" << false;
    QTest::newRow("centuries") << "Tr0ub4dour&3x!Qz9#mK"
                               << "rbClassic" << 4 << "centuries" << false;
}

// The bar and its lines follow every keystroke and the format chosen.
void PasswordPageTest::strengthFollowsPasswordAndFormat() {
    QFETCH(QString, password);
    QFETCH(QString, format);
    QFETCH(int, level);
    QFETCH(QString, time);
    QFETCH(bool, hint);
    WorkflowBench bench;
    bench.WizardToLastPage(bench.CopyOfReference("base.png"), std::nullopt, {}, "start");
    bench.Click("btnBack1");
    bench.Get<QRadioButton>(format.toLatin1().constData())->click();
    bench.Get<QLineEdit>("edtPass1")->setText(password);
    auto* bar = bench.Get<QProgressBar>("pbStrength");
    auto* guessTime = bench.Get<QLabel>("lblGuessTime");
    auto* strengthHint = bench.Get<QLabel>("lblStrengthHint");
    QCOMPARE(bar->value(), level);
    QCOMPARE(guessTime->isHidden(), time.isEmpty());
    if (!time.isEmpty())
        QCOMPARE(guessTime->text(), QStringLiteral("Time to guess it in this format: ") + time);
    QCOMPARE(!strengthHint->isHidden(), hint);
    if (hint)
        QVERIFY(strengthHint->text().startsWith(
            QStringLiteral("A graphics card guesses it quickly in the classic format; sealed or "
                           "woven would take ")));
}

void PasswordPageTest::saveKeysAreDerivedInTheBackground_data() {
    QTest::addColumn<QString>("format"); // the format's radio button
    QTest::addColumn<bool>("resave");    // saved again in place from the reveal view
    QTest::addColumn<bool>("overRoom");  // a file above the room added, and consent given
    QTest::newRow("sealed hide") << "rbSealed" << false << false;
    QTest::newRow("woven hide") << "rbWoven" << false << false;
    QTest::newRow("sealed re-save") << "rbSealed" << true << false;
    QTest::newRow("woven re-save") << "rbWoven" << true << false;
    QTest::newRow("woven re-save asked again") << "rbWoven" << true << true;
}

// With the released costs a derivation on the interface thread freezes the window for a
// second: every save derives its keys in the background, one per attempt. A woven save's
// first write takes its keys (one salt seals one content), so the attempt after the
// question about the room derives new ones.
void PasswordPageTest::saveKeysAreDerivedInTheBackground() {
    QFETCH(QString, format);
    QFETCH(bool, resave);
    QFETCH(bool, overRoom);
    const SealedTestFormat sealedFormat;
    const WovenTestFormat wovenFormat;
    WorkflowBench bench;
    const QByteArray radio = format.toLatin1();
    const std::string picture = MakeNoisePicture(bench, "p.png", QImage::Format_RGB888, "PNG");
    const std::string carrier = bench.dir / "c.png";
    const std::string large =
        bench.MakeFile("large.bin", CapacityOf(picture).capacityBytes + 2000, 3);
    if (resave) {
        HideThroughWizardAs(bench, picture, radio.constData(), carrier);
        bench.frame->CloseFrame();
        bench.AnswerPrompt("pw");
        QCOMPARE(bench.frame->LoadFromImage(QString::fromStdString(carrier), QString()), 1);
        bench.Get<QPlainTextEdit>("mmoDeMsg")->setPlainText("edited");
        if (overRoom) {
            bench.dialogs.fileLists.push_back({QString::fromStdString(large)});
            bench.Click("btnDeAdd");
            bench.dialogs.answers.push_back(Answer::Yes);
        }
    }
    bench.dialogs.shown.clear();
    const uint64_t all = KeyDerivationsSoFar();
    const uint64_t here = KeyDerivationsOnThisThread();
    if (resave)
        bench.Click("btnDeSave");
    else
        HideThroughWizardAs(bench, picture, radio.constData(), carrier);
    QCOMPARE(KeyDerivationsSoFar() - all, uint64_t{overRoom ? 2u : 1u});
    QCOMPARE(KeyDerivationsOnThisThread() - here, uint64_t{0});
    QVERIFY(bench.dialogs.answers.empty()); // the question about the room was asked
    QCOMPARE(bench.dialogs.shown.last().kind, QStringLiteral("information")); // saved
    const CarrierContents contents = ReadAnyCarrier(carrier, "pw");
    QCOMPARE(contents.format, format == "rbSealed" ? CarrierFormat::Sealed : CarrierFormat::Woven);
    QCOMPARE(contents.message, std::string(resave ? "edited" : "note"));
    QCOMPARE(contents.files.count("large.bin"), size_t{overRoom ? 1u : 0u});
    QCOMPARE(bench.dialogs.unanswered, 0);
}

QTEST_MAIN(PasswordPageTest)
#include "PasswordPageTest.moc"
