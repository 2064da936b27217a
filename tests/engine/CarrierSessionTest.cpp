// SPDX-License-Identifier: GPL-2.0-or-later
// The carrier session: what each carrier gives with each password (one table), and what a
// save keeps, refuses or asks about.
#include "EngineTestSupport.h"

#include "archive/Unzipper.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "platform/FileLock.h"
#include "support/NearMissPassword.h"
#include "support/ReferenceCarriers.h"
#include "support/Sessions.h"

#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::test {
namespace {

// The entries a session lists, by name, with their bytes.
std::multimap<std::string, Bytes> Contents(UnlockedCarrier& session) {
    std::multimap<std::string, Bytes> files;
    for (const HiddenEntry& entry : session.Entries()) {
        std::string copy;
        EXPECT_TRUE(session.ExtractToWorkFolder(entry.index, copy).Ok()) << entry.name;
        files.emplace(entry.name, ReadFile(copy));
    }
    return files;
}

std::vector<std::string> StoredNames(const std::string& archive) {
    std::vector<std::string> names;
    CUnzipper unzipper(archive);
    ZipEntryInfo info;
    for (int i = 0; unzipper.EntryInfoAt(i, info); ++i)
        names.push_back(info.storedName);
    return names;
}

class CarrierSessionTest : public EngineTest {
protected:
    // A carrier hidden through a session from MakeImage's picture.
    std::string Hide(const std::string& name, const std::string& password,
                     std::optional<std::string> message, const std::vector<AddedFile>& files) {
        std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage(name + ".source"));
        EXPECT_NE(picture, nullptr);
        const Password key(password);
        SaveRequest request;
        request.destination = Path(name);
        request.message = std::move(message);
        request.addedFiles = files;
        request.newPassword = &key;
        std::unique_ptr<UnlockedCarrier> saved;
        EXPECT_EQ(OpenedCarrier::Hide(picture, request, saved).reason, Reason::None);
        return request.destination;
    }

    // A carrier written by the engine alone, which sets no rules on the password.
    std::string HideWithEngine(const std::string& name, const std::string& password) {
        CBindImage engine;
        engine.SetPassword(Password(password));
        EXPECT_EQ(engine.OpenCarrier(MakeImage(name + ".source"), OPEN_INSPECT), 0);
        EXPECT_EQ(engine.ReplaceContent(std::string("m"), {}, {MakeFile(name + ".txt", {'x'})}), 1);
        EXPECT_EQ(engine.SaveCarrier(Path(name)), 1) << ReasonName(engine.LastStatus().reason);
        return Path(name);
    }

    std::unique_ptr<UnlockedCarrier> Unlocked(const std::string& carrier,
                                              const std::string& password) {
        std::unique_ptr<UnlockedCarrier> session;
        EXPECT_EQ(UnlockAt(carrier, password, session).reason, Reason::None);
        return session;
    }
};

TEST_F(CarrierSessionTest, EachCarrierGivesItsReasonForEachPassword) {
    const Bytes zeros(385084, 0);
    const std::string repeated(8 << 20, 'a');
    const std::string many = PythonZip("many.zip", "for i in range(150):\n"
                                                   "    z.writestr('f%03d.txt' % i, str(i))");
    const std::string unsafe = PythonZip("unsafe.zip", "z.writestr('../up.txt', 'u')\n"
                                                       "z.writestr('ok.txt', 'k')");
    const std::string emptyMessage =
        PythonZip("empty-message.zip", "z.writestr('veilnote.vnt', '')\n"
                                       "z.writestr('a.txt', 'a')");
    // The message entry's CRC is off by one; the file beside it is intact.
    const std::string badCrc = PythonZip("bad-crc.zip", "z.writestr('a.txt', 'a')\n"
                                                        "z.writestr('veilnote.vnt', 'hi\\0')\n"
                                                        "z.close()\n"
                                                        "d = bytearray(open(path, 'rb').read())\n"
                                                        "i = d.rfind(b'PK\\x01\\x02')\n"
                                                        "d[i + 16] ^= 1\n"
                                                        "j = d.rfind(b'PK\\x03\\x04')\n"
                                                        "d[j + 14] ^= 1\n"
                                                        "open(path, 'wb').write(d)\n"
                                                        "import io\n"
                                                        "z = zipfile.ZipFile(io.BytesIO(), 'w')");
    const std::string big =
        PythonZip("big-message.zip", "z.writestr('veilnote.vnt', bytes(65 << 20))\n"
                                     "z.writestr('a.txt', 'a')");
    const std::string good = Hide("good.bmp", "pw", "hello\r\nworld", {MakeFile("f.txt", {'f'})});
    Bytes damagedBytes = ReadFile(good);
    damagedBytes[damagedBytes.size() - 60 - 20] ^= 0x55; // inside the archive's directory
    const std::string damaged = MakeFile("damaged.bmp", damagedBytes);

    struct Case {
        std::string carrier;
        std::string password;
        Reason reason;
        MessageState message = MessageState::None;
        size_t entries = 0;
    };
    std::vector<Case> cases;
    for (const ReferenceCarrier& reference : ReferenceCarriers()) {
        const std::string& right = reference.password;
        cases.push_back({ReferenceFile(reference.file), right, Reason::None,
                         reference.message.empty() ? MessageState::None : MessageState::Present,
                         reference.files.size()});
        cases.push_back({ReferenceFile(reference.file),
                         right.empty() ? "x" : right.substr(0, right.size() - 1),
                         Reason::WrongPassword});
    }
    // The key holds only the first 32 bytes; the entries prove the rest.
    const std::string& longPassword = ReferenceCarrierNamed("long-password.jpg").password;
    cases.insert(
        cases.end(),
        {
            {ReferenceFile("long-password.jpg"), longPassword.substr(0, 32) + "??????",
             Reason::WrongPassword},
            {ReferenceFile("long-password.jpg"), longPassword.substr(0, 32), Reason::WrongPassword},
            {ReferenceFile("base.png"), "pw", Reason::SealedNotOpened},
            {HideWithEngine("nul.bmp", std::string("ab\0cd", 5)), std::string("ab\0cd", 5),
             Reason::None, MessageState::Present, 1},
            {Path("nul.bmp"), "ab", Reason::WrongPassword},
            {Hide("zeros.bmp", "pw", std::nullopt, {MakeFile("zeros.bin", zeros)}), "pw",
             Reason::None, MessageState::None, 1},
            {Hide("letters.bmp", "pw", repeated, {}), "pw", Reason::None, MessageState::Present, 0},
            {Hide("nothing.bmp", "pw", std::nullopt, {}), "pw", Reason::None, MessageState::None,
             0},
            {good, "pw", Reason::None, MessageState::Present, 1},
            {good, "wrong", Reason::WrongPassword},
            {damaged, "pw", Reason::Damaged},
            {WrapArchive(many, "many.bmp", "pw"), "pw", Reason::None, MessageState::None, 150},
            {WrapArchive(unsafe, "unsafe.bmp", "pw"), "pw", Reason::None, MessageState::None, 2},
            {WrapArchive(emptyMessage, "empty-message.bmp", "pw"), "pw", Reason::None,
             MessageState::None, 1},
            {WrapArchive(badCrc, "bad-crc.bmp", "pw"), "pw", Reason::None, MessageState::Damaged,
             1},
            {WrapArchive(big, "big-message.bmp", "pw"), "pw", Reason::None, MessageState::TooLarge,
             1},
        });
    for (const Case& c : cases) {
        for (bool fromCarrier : {false, true}) {
            SCOPED_TRACE(c.carrier + " / " + c.password + (fromCarrier ? " from the carrier" : ""));
            std::unique_ptr<UnlockedCarrier> session;
            const Status status =
                UnlockAt(c.carrier, c.password, session, ProofTiming::AtUnlock, fromCarrier);
            EXPECT_EQ(status.reason, c.reason);
            if (!status.Ok())
                continue;
            EXPECT_EQ(session->GetMessageState(), c.message);
            EXPECT_EQ(session->Entries().size(), c.entries);
            int checked = 0;
            const Status verified = session->VerifyAll(checked);
            EXPECT_EQ(verified.reason,
                      c.message == MessageState::Damaged ? Reason::EntryDamaged : Reason::None);
        }
    }
}

TEST_F(CarrierSessionTest, WhatIsHiddenComesBackByteForByte) {
    const Bytes zeros(385084, 0);
    const Bytes noise = PseudoRandomBytes(70000, 3);
    const std::string carrier =
        Hide("c.bmp", "pw", std::string(20 << 20, 'q'),
             {MakeFile("zeros.bin", zeros), {MakeFile("n", noise), "d/noise"}});
    auto session = Unlocked(carrier, "pw");
    EXPECT_EQ(session->Message(), std::string(20 << 20, 'q'));
    EXPECT_EQ(Contents(*session),
              (std::multimap<std::string, Bytes>{{"zeros.bin", zeros}, {"d/noise", noise}}));
    EXPECT_EQ(session->Summary().fileCount, 2);
    EXPECT_EQ(session->Summary().filesTotalSize, static_cast<int32_t>(zeros.size() + noise.size()));
    EXPECT_EQ(OpenAt(carrier)->Trailer().fileCount, 2);
}

TEST_F(CarrierSessionTest, AResaveKeepsEveryStoredNameAndWhatNoSlotHolds) {
    const std::string many = PythonZip("many.zip", "z.writestr('sub\\\\inner.txt', 'i')\n"
                                                   "z.writestr('../up.txt', 'u')\n"
                                                   "z.writestr('a/x.txt', '1')\n"
                                                   "z.writestr('b/x.txt', '2')\n"
                                                   "for i in range(120):\n"
                                                   "    z.writestr('f%03d' % i, str(i))");
    const std::vector<std::string> before = StoredNames(many);
    // Also with the kept entries copied from the carrier itself, not from a working copy.
    for (bool fromCarrier : {false, true}) {
        SCOPED_TRACE(fromCarrier ? "from the carrier" : "from the working copy");
        const std::string carrier = WrapArchive(many, "many.bmp", "pw");
        std::unique_ptr<UnlockedCarrier> session;
        ASSERT_TRUE(UnlockAt(carrier, "pw", session, ProofTiming::AtUnlock, fromCarrier).Ok());
        SaveRequest request;
        request.destination = carrier;
        request.message = "now";
        // Even with every listed entry given up, what no slot holds (past the 100th, unsafe
        // names) would stay.
        EXPECT_EQ(session->KeptEntriesWhenListing({}).size(), 24u);
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        ASSERT_TRUE(session->Save(request).Ok());
        std::vector<std::string> after = StoredNames(session->WorkingCopy());
        ASSERT_EQ(after.size(), before.size() + 1);
        EXPECT_EQ(std::vector<std::string>(after.begin(), after.end() - 1), before);
        EXPECT_EQ(after.back(), kMessageEntryName);
        EXPECT_EQ(Unlocked(carrier, "pw")->Entries().size(), before.size());
        EXPECT_EQ(session->Entries().size(), before.size());
    }
}

TEST_F(CarrierSessionTest, SavesRefuseOrAskInsteadOfLosingAnything) {
    const std::string carrier = Hide("c.bmp", "pw", "m", {MakeFile("f.txt", {'f'})});
    const Bytes original = ReadFile(carrier);
    const std::string bad = MakeFile("back\\slash.txt", {'b'});
    const Password nul(std::string("a\0b", 3));
    struct Case {
        std::string what;
        std::function<void(SaveRequest&)> change;
        Reason reason;
    };
    const Case cases[] = {
        {"a NUL in the message",
         [](SaveRequest& r) {
             r.keepMessage = false;
             r.message = std::string("a\0b", 3);
         },
         Reason::NulInMessage},
        {"a NUL in a new password", [&](SaveRequest& r) { r.newPassword = &nul; },
         Reason::NulInPassword},
        {"a backslash in a name", [&](SaveRequest& r) { r.addedFiles.emplace_back(bad); },
         Reason::NameHasBackslash},
        {"the message entry's name",
         [&](SaveRequest& r) { r.addedFiles.emplace_back(bad, kMessageEntryName); },
         Reason::NameReserved},
        {"an entry that is not there", [](SaveRequest& r) { r.keptEntries.push_back(7); },
         Reason::NoSuchEntry},
        {"an existing destination kept", [](SaveRequest& r) { r.replaceExisting = false; },
         Reason::DestinationExists},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = Unlocked(carrier, "pw");
        SaveRequest request;
        request.destination = carrier;
        request.keepMessage = true;
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        c.change(request);
        EXPECT_EQ(session->Save(request).reason, c.reason);
        EXPECT_EQ(ReadFile(carrier), original);
    }
}

TEST_F(CarrierSessionTest, ReplacingRefusesEverythingButRegularFilesAndSaysWhy) {
    const std::string carrier = Hide("c.bmp", "pw", "m", {});
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(carrier.c_str(), Path("link").c_str()), 0);
    ASSERT_EQ(::mkdir(Path("folder").c_str(), 0700), 0);
    const struct {
        std::string name;
        Reason reason;
    } cases[] = {
        {"fifo", Reason::DestinationNotRegular},
        {"link", Reason::DestinationIsLink},
        {"folder", Reason::DestinationIsFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = Unlocked(carrier, "pw");
        SaveRequest request;
        request.destination = Path(c.name);
        request.keepMessage = true;
        request.replaceExisting = true;
        const Status saved = session->Save(request);
        EXPECT_EQ(saved.reason, c.reason);
        EXPECT_EQ(saved.subject, Path(c.name));
        EXPECT_EQ(session->SaveImagePart(Path(c.name), true).reason, c.reason);
    }
    struct stat after {};
    ASSERT_EQ(::lstat(Path("link").c_str(), &after), 0);
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    ASSERT_EQ(::lstat(Path("fifo").c_str(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));
}

TEST_F(CarrierSessionTest, ChangedBusyAndUnreadMessagesNeedConsent) {
    const std::string carrier = Hide("c.bmp", "pw", "m", {});
    SaveRequest request;
    request.destination = carrier;
    request.message = "new";

    auto changed = Unlocked(carrier, "pw");
    WriteFile(carrier, ReadFile(Hide("other.bmp", "pw", "other", {})));
    EXPECT_EQ(changed->Save(request).reason, Reason::ChangedOnDisk);
    request.allowChanged = true;
    EXPECT_TRUE(changed->Save(request).Ok());

    FileLock other;
    ASSERT_EQ(other.Lock(carrier), LockStatus::Locked);
    EXPECT_EQ(Unlocked(carrier, "pw")->Save(request).reason, Reason::Busy);
    other.Release();

    const std::string big = PythonZip("big.zip", "z.writestr('veilnote.vnt', bytes(65 << 20))");
    const std::string unread = WrapArchive(big, "unread.bmp", "pw");
    auto session = Unlocked(unread, "pw");
    request.destination = unread;
    EXPECT_EQ(session->Save(request).reason, Reason::WouldLoseMessage);
    request.keepMessage = true; // kept unread, as stored
    EXPECT_TRUE(session->Save(request).Ok());
    EXPECT_EQ(Unlocked(unread, "pw")->GetMessageState(), MessageState::TooLarge);
    request.keepMessage = false;
    request.allowLoss = true;
    EXPECT_TRUE(session->Save(request).Ok());
    EXPECT_EQ(Unlocked(unread, "pw")->Message(), "new");
}

TEST_F(CarrierSessionTest, ANewPasswordReplacesTheOldOneForEveryEntry) {
    const std::string carrier = Hide("c.bmp", "old", "m", {MakeFile("f.txt", {'f', 'g'})});
    auto session = Unlocked(carrier, "old");
    const Password fresh("a new password that is longer than thirty-two bytes");
    SaveRequest request;
    request.destination = carrier;
    request.keepMessage = true;
    ASSERT_EQ(session->Entries().size(), 1u);
    request.keptEntries = session->KeptEntriesWhenListing({session->Entries()[0].index});
    request.newPassword = &fresh;
    ASSERT_TRUE(session->Save(request).Ok());
    std::unique_ptr<UnlockedCarrier> old;
    EXPECT_EQ(UnlockAt(carrier, "old", old).reason, Reason::WrongPassword);
    auto reopened = Unlocked(carrier, std::string(fresh.View()));
    EXPECT_EQ(reopened->Message(), "m");
    EXPECT_EQ(Contents(*reopened), (std::multimap<std::string, Bytes>{{"f.txt", {'f', 'g'}}}));
}

// A password proved only when its one file is read must fail that read, and everything
// else that relies on it, as a wrong password does at unlock; the right one reads once.
TEST_F(CarrierSessionTest, APasswordLeftToTheFirstReadIsProvedByIt) {
    const std::string right = "0123456789abcdefghijklmnopqrstuv-right";
    const Bytes noise = PseudoRandomBytes(300000, 7);
    const std::string carrier = Hide("one.bmp", right, std::nullopt, {MakeFile("n.bin", noise)});
    const std::string nearMiss = NearMissPassword(carrier, right);
    ASSERT_FALSE(nearMiss.empty());
    {
        std::unique_ptr<UnlockedCarrier> atUnlock;
        EXPECT_EQ(UnlockAt(carrier, nearMiss, atUnlock).reason, Reason::WrongPassword);
    }

    enum class Then { Extract, Verify, Save };
    struct Case {
        std::string password;
        Then then;
        Reason reason;
    };
    const Case cases[] = {
        {right, Then::Extract, Reason::None},
        {right, Then::Verify, Reason::None},
        {right, Then::Save, Reason::None},
        {nearMiss, Then::Extract, Reason::WrongPassword},
        {nearMiss, Then::Verify, Reason::WrongPassword},
        {nearMiss, Then::Save, Reason::WrongPassword},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password + " / " + std::to_string(static_cast<int>(c.then)));
        std::unique_ptr<UnlockedCarrier> unlocked;
        ASSERT_TRUE(UnlockAt(carrier, c.password, unlocked, ProofTiming::AtFirstRead).Ok());
        UnlockedCarrier& session = *unlocked;
        ASSERT_EQ(session.Entries().size(), 1u);
        const std::string out = Path("out" + std::to_string(++run));
        Status status;
        int checked = 0;
        SaveRequest request;
        request.destination = out;
        request.message = "new";
        request.keptEntries = {session.Entries()[0].index};
        switch (c.then) {
        case Then::Extract:
            status = session.ExtractToFile(session.Entries()[0].index, out, false);
            break;
        case Then::Verify:
            status = session.VerifyAll(checked);
            break;
        case Then::Save:
            status = session.Save(request);
            break;
        }
        EXPECT_EQ(status.reason, c.reason);
        EXPECT_EQ(session.IsUnlocked(), c.reason == Reason::None);
        if (c.reason != Reason::None) {
            EXPECT_FALSE(std::filesystem::exists(out));
            int afterwards = 0;
            EXPECT_EQ(session.VerifyAll(afterwards).reason, Reason::NotUnlocked);
            continue;
        }
        if (c.then == Then::Extract) {
            EXPECT_EQ(ReadFile(out), noise);
        } else if (c.then == Then::Verify) {
            EXPECT_EQ(checked, 1);
        } else {
            EXPECT_EQ(Contents(*Unlocked(out, right)),
                      (std::multimap<std::string, Bytes>{{"n.bin", noise}}));
        }
    }
}

} // namespace
} // namespace lumora::test
