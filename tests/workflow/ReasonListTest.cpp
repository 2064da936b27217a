// SPDX-License-Identifier: GPL-2.0-or-later
// The one list of reasons, walked whole: every reason has what each program needs to
// tell it, so that no failure can reach the user without words.
#include "cli/ReasonText.h"
#include "ini/IniFile.h"
#include "workflow/ReasonTexts.h"

#include <QRegularExpression>
#include <QTest>

#include <set>

namespace lumora {
namespace {

constexpr const char* kMissing = "\x01missing";

// The frame's messages as a first run writes them, and their German translation.
const IniFile& DefaultTexts() {
    static const IniFile file(LUMORA_TEST_DATA_DIR "/language/first-run-English.ini");
    return file;
}

const IniFile& GermanTexts() {
    static const IniFile file(LUMORA_LANGUAGE_DIR "/German.ini");
    return file;
}

} // namespace

class ReasonListTest : public QObject {
    Q_OBJECT

private slots:
    void EveryReasonCanBeTold_data() {
        QTest::addColumn<int>("reason");
        for (const Reason reason : AllReasons())
            QTest::newRow(std::string(ReasonName(reason)).c_str()) << static_cast<int>(reason);
    }

    void EveryReasonCanBeTold() {
        QFETCH(int, reason);
        const auto tested = static_cast<Reason>(reason);
        QVERIFY(OutcomeOf(tested) != Outcome::Ok);

        const QString name = QString::fromStdString(std::string(ReasonName(tested)));
        QVERIFY2(QRegularExpression(QStringLiteral("^[a-z]+(-[a-z]+)*$")).match(name).hasMatch(),
                 qPrintable(name));

        // Every value a line can name is given: nothing of the line's own syntax is left.
        Status status = Status::Fail(tested, "SUBJECT", EIO);
        status.count = 7;
        status.limit = 64 << 20;
        const std::string line = cli::ReasonLine(tested);
        const std::string text = cli::ReasonText(status, "CARRIER");
        QVERIFY(!text.empty());
        QVERIFY2(text.find_first_of("%{|}") == std::string::npos, text.c_str());
        QCOMPARE(text.find("SUBJECT") != std::string::npos, line.find("%s") != std::string::npos);

        // The general messages a reason without one of its own falls back to.
        for (const char* general : {kSaveFailedKey, kOpenFailedKey}) {
            const char* key = ReasonKey(tested, general);
            QVERIFY2(DefaultTexts().ReadString("TframeMsg", key, kMissing) != kMissing, key);
            QVERIFY2(GermanTexts().ReadString("TframeMsg", key, kMissing) != kMissing, key);
        }
    }

    void EveryNameIsItsOwn() {
        std::set<std::string_view> names;
        for (const Reason reason : AllReasons())
            names.insert(ReasonName(reason));
        QCOMPARE(names.size(), static_cast<size_t>(kReasonCount));
        QVERIFY(!names.count(ReasonName(Reason::None)));
    }
};

} // namespace lumora

QTEST_MAIN(lumora::ReasonListTest)
#include "ReasonListTest.moc"
