// SPDX-License-Identifier: GPL-2.0-or-later
// What a failure's box says: the operation's general message, then the reason with its
// subject, size or system error; and the reason a save or load that threw is told with.
#include "ini/IniFile.h"
#include "workflow/ReasonTexts.h"
#include "workflow/ThrownStatus.h"

#include <QTest>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

Q_DECLARE_METATYPE(lumora::Status)
Q_DECLARE_METATYPE(std::exception_ptr)

namespace lumora {
namespace {

const QString kSave = QStringLiteral("There are some errors when saved, please try again.\n");
const QString kOpen = QStringLiteral("Data Error\n");

// The messages as a first run writes them.
QString Text(const char* key) {
    static const IniFile file(LUMORA_TEST_DATA_DIR "/language/first-run-English.ini");
    return QString::fromStdString(file.ReadString("TframeMsg", key, key));
}

Status With(Reason reason, std::string subject, int error = 0, int64_t limit = -1) {
    Status status = Status::Fail(reason, std::move(subject), error);
    status.limit = limit;
    return status;
}

} // namespace

class FailureTextTest : public QObject {
    Q_OBJECT

private slots:
    void FailuresAreToldWithTheirReason_data() {
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("saving");
        QTest::addColumn<QString>("text");
        QTest::newRow("write failed") << With(Reason::WriteFailed, "/out/c.png", EACCES) << true
                                      << kSave + "A file could not be written: /out/c.png "
                                                 "(Permission denied)";
        QTest::newRow("write failed, nothing known")
            << With(Reason::WriteFailed, "") << true << kSave + "A file could not be written";
        QTest::newRow("disk full") << With(Reason::DiskFull, "/out/c.png", ENOSPC) << true
                                   << kSave + "The disk is full: /out/c.png (No space left on "
                                              "device)";
        QTest::newRow("bound as a size")
            << With(Reason::MessageTooLarge, "", 0, 3000) << true
            << kSave + "The text message is too large to be hidden (3.00 KB at most).";
        QTest::newRow("damaged entry while opening") << With(Reason::EntryDamaged, "a.txt") << false
                                                     << kOpen + "The hidden file a.txt is damaged.";
        QTest::newRow("wrong password alone")
            << With(Reason::WrongPassword, "") << false << "Password error";
        QTest::newRow("no data alone")
            << With(Reason::NoData, "/in/c.png") << false << "No Data In Image";
        QTest::newRow("entry under another password alone")
            << With(Reason::EntryNotUnderPassword, "b.txt") << false
            << "The hidden file b.txt is not protected by this password.";
    }

    void FailuresAreToldWithTheirReason() {
        QFETCH(Status, status);
        QFETCH(bool, saving);
        QFETCH(QString, text);
        const MessageLookup lookup = [](const char* key) { return Text(key); };
        QCOMPARE(saving ? SaveFailureText(status, lookup) : OpenFailureText(status, lookup), text);
    }

    void WhatIsThrownHasAReason_data() {
        QTest::addColumn<std::exception_ptr>("thrown");
        QTest::addColumn<int>("failed"); // the reason of the operation
        QTest::addColumn<Status>("status");
        const auto full = std::make_exception_ptr(std::filesystem::filesystem_error(
            "write", "/out/c.png", std::error_code(ENOSPC, std::generic_category())));
        const auto denied = std::make_exception_ptr(
            std::system_error(std::error_code(EACCES, std::generic_category())));
        const int save = static_cast<int>(Reason::WriteFailed);
        const int load = static_cast<int>(Reason::ReadFailed);
        QTest::newRow("memory") << std::make_exception_ptr(std::bad_alloc()) << save
                                << Status::Fail(Reason::NoMemory);
        QTest::newRow("disk full while saving")
            << full << save << With(Reason::DiskFull, "/out/c.png", ENOSPC);
        QTest::newRow("same errno while loading")
            << full << load << With(Reason::ReadFailed, "/out/c.png", ENOSPC);
        QTest::newRow("system error") << denied << save << With(Reason::WriteFailed, "", EACCES);
        QTest::newRow("anything else") << std::make_exception_ptr(std::runtime_error("x")) << load
                                       << Status::Fail(Reason::ReadFailed);
        QTest::newRow("nothing thrown")
            << std::exception_ptr() << save << Status::Fail(Reason::WriteFailed);
    }

    void WhatIsThrownHasAReason() {
        QFETCH(std::exception_ptr, thrown);
        QFETCH(int, failed);
        QFETCH(Status, status);
        const Status told = StatusOfThrown(thrown, static_cast<Reason>(failed));
        QCOMPARE(static_cast<int>(told.reason), static_cast<int>(status.reason));
        QCOMPARE(told.subject, status.subject);
        QCOMPARE(told.error, status.error);
    }
};

} // namespace lumora

QTEST_MAIN(lumora::FailureTextTest)
#include "FailureTextTest.moc"
