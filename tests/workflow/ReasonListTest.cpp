// SPDX-License-Identifier: GPL-2.0-or-later
// The one list of reasons, walked whole: every reason has what each program needs to
// tell it, in words of its own, so that no failure can reach the user without words.
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

// The built-in text of a message, empty when there is none.
QString BuiltInText(const char* key) {
    const QString prefix = QString::fromLatin1(key) + QLatin1Char('=');
    for (const QString& line : ReasonMessages()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QString();
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

        // The desktop program's message: built in, written by a first run, translated, and
        // with the same "%s" in both languages.
        const char* key = ReasonKey(tested);
        const QString builtIn = BuiltInText(key);
        const std::string english = DefaultTexts().ReadString("TframeMsg", key, kMissing);
        const std::string german = GermanTexts().ReadString("TframeMsg", key, kMissing);
        QVERIFY2(!builtIn.isEmpty(), key);
        QCOMPARE(QString::fromStdString(english), builtIn);
        QVERIFY2(german != kMissing && german != english, key);
        QVERIFY2(builtIn.count(QStringLiteral("%s")) <= 1, key);
        QCOMPARE(QString::fromStdString(german).count(QStringLiteral("%s")),
                 builtIn.count(QStringLiteral("%s")));
    }

    // No reason borrows another's message, nor a general one.
    void EveryReasonHasItsOwnMessage() {
        std::set<std::string_view> keys;
        for (const Reason reason : AllReasons())
            keys.insert(ReasonKey(reason));
        QCOMPARE(keys.size(), static_cast<size_t>(kReasonCount));
        QVERIFY(!keys.count(kSaveFailedKey));
        QVERIFY(!keys.count(kOpenFailedKey));
        QCOMPARE(ReasonMessages().size(), qsizetype{kReasonCount});
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
