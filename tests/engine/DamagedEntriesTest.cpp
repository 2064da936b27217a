// SPDX-License-Identifier: GPL-2.0-or-later
// Damage to one entry of a classic carrier leaves the others readable and savable, and a
// password the carrier cannot prove whole is saved under only once confirmed.
#include "EngineTestSupport.h"

#include "engine/FolderExtraction.h"
#include "support/GarbledEntry.h"
#include "support/Sessions.h"

#include <algorithm>

namespace lumora::test {
namespace {

constexpr const char* kMessageEntry = "veilnote.vnt";

std::vector<std::string> DamagedNames(const UnlockedCarrier& session) {
    std::vector<std::string> names;
    for (const HiddenEntry& entry : session.Entries())
        if (entry.damaged)
            names.push_back(entry.name);
    return names;
}

const HiddenEntry* EntryNamed(const UnlockedCarrier& session, const std::string& name) {
    for (const HiddenEntry& entry : session.Entries())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

class DamagedEntriesTest : public EngineTest {
protected:
    // A carrier of a message and three files under "pw".
    std::string Carrier(const std::string& name) {
        std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage(name + ".source"));
        const Password key("pw");
        SaveRequest request;
        request.destination = Path(name);
        request.message = "a message long enough to fill a few blocks of the cipher";
        request.addedFiles = {MakeFile("a.bin", PseudoRandomBytes(3000, 1)),
                              MakeFile("b.bin", PseudoRandomBytes(5000, 2)),
                              MakeFile("c.txt", TextLikeBytes(9000))};
        request.newPassword = &key;
        std::unique_ptr<UnlockedCarrier> saved;
        EXPECT_TRUE(OpenedCarrier::Hide(picture, request, saved).Ok());
        return request.destination;
    }

    std::unique_ptr<UnlockedCarrier> Unlocked(const std::string& carrier,
                                              ProofTiming timing = ProofTiming::AtUnlock) {
        std::unique_ptr<UnlockedCarrier> session;
        const Status status = UnlockAt(carrier, "pw", session, timing);
        EXPECT_TRUE(status.Ok()) << ReasonName(status.reason) << " " << status.subject;
        return session;
    }
};

struct Garble {
    const char* entry;
    int64_t at;                        // in the entry's stored data; 11 is its check byte
    MessageState message;              // once unlocked
    std::vector<std::string> damaged;  // the files VerifyAll names
    std::vector<std::string> atUnlock; // those known damaged before any read
};

class GarbledEntryTest : public DamagedEntriesTest, public ::testing::WithParamInterface<Garble> {};

TEST_P(GarbledEntryTest, OnlyTheGarbledEntryIsLost) {
    const Garble& garble = GetParam();
    const std::string carrier = Carrier("c.bmp");
    ASSERT_TRUE(GarbleEntry(carrier, "pw", garble.entry, garble.at));
    for (ProofTiming timing : {ProofTiming::AtUnlock, ProofTiming::AtFirstRead}) {
        SCOPED_TRACE(timing == ProofTiming::AtUnlock ? "at unlock" : "at first read");
        std::unique_ptr<UnlockedCarrier> session = Unlocked(carrier, timing);
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(session->GetMessageState(), garble.message);
        if (timing == ProofTiming::AtUnlock) {
            EXPECT_EQ(DamagedNames(*session), garble.atUnlock);
        }

        // Every intact file is written, the damaged ones are not.
        const std::string folder = Path(timing == ProofTiming::AtUnlock ? "out1" : "out2");
        FolderOutput output;
        output.folder = folder;
        output.skipDamaged = true;
        std::vector<HiddenEntry> entries = session->Entries();
        ASSERT_TRUE(TargetsByName(entries, output.targets).Ok());
        for (const HiddenEntry& entry : entries)
            output.entries.push_back(entry.index);
        const Status written = ExtractToFolder(*session, output);
        EXPECT_EQ(written.reason, garble.damaged.empty() ? Reason::None : Reason::EntryDamaged);
        EXPECT_TRUE(session->IsUnlocked());
        for (const HiddenEntry& entry : entries) {
            const bool damaged = std::find(garble.damaged.begin(), garble.damaged.end(),
                                           entry.name) != garble.damaged.end();
            EXPECT_EQ(FileExists(folder + "/" + entry.name), !damaged) << entry.name;
            if (!damaged) {
                EXPECT_EQ(ReadFile(folder + "/" + entry.name).size(), entry.size) << entry.name;
            }
        }

        int checked = 0;
        const Status verified = session->VerifyAll(checked);
        const bool anyDamage = !garble.damaged.empty() || garble.message == MessageState::Damaged;
        EXPECT_EQ(verified.Outcome(), anyDamage ? Outcome::Damaged : Outcome::Ok);
        EXPECT_EQ(DamagedNames(*session), garble.damaged);
        EXPECT_EQ(session->HasDamage(), anyDamage);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, GarbledEntryTest,
    ::testing::Values(Garble{kMessageEntry, 20, MessageState::Damaged, {}, {}},
                      Garble{kMessageEntry, 11, MessageState::Damaged, {}, {}},
                      Garble{"a.bin", 11, MessageState::Present, {"a.bin"}, {"a.bin"}},
                      Garble{"a.bin", 1000, MessageState::Present, {"a.bin"}, {}},
                      Garble{"b.bin", 4000, MessageState::Present, {"b.bin"}, {}},
                      Garble{"c.txt", 40, MessageState::Present, {"c.txt"}, {}}));

struct Policy {
    const char* entry; // garbled
    DamagedContent damaged;
    Reason reason;
    std::vector<std::string> files; // listed once saved
    MessageState message;           // once saved
};

class DamagedSaveTest : public DamagedEntriesTest, public ::testing::WithParamInterface<Policy> {};

TEST_P(DamagedSaveTest, ASaveDoesWhatItIsToldWithDamage) {
    const Policy& policy = GetParam();
    const std::string carrier = Carrier("c.bmp");
    ASSERT_TRUE(GarbleEntry(carrier, "pw", policy.entry, 11));
    std::unique_ptr<UnlockedCarrier> session = Unlocked(carrier);
    ASSERT_NE(session, nullptr);
    SaveRequest request;
    request.destination = Path("saved.bmp");
    request.keepMessage = true;
    for (const HiddenEntry& entry : session->Entries())
        request.keptEntries.push_back(entry.index);
    request.addedFiles = {MakeFile("new.txt", {'n'})};
    request.damaged = policy.damaged;
    const Status status = session->Save(request);
    EXPECT_EQ(status.reason, policy.reason) << status.subject;
    if (policy.reason != Reason::None) {
        EXPECT_FALSE(FileExists(request.destination));
        return;
    }
    std::unique_ptr<UnlockedCarrier> saved = Unlocked(request.destination);
    ASSERT_NE(saved, nullptr);
    std::vector<std::string> names;
    for (const HiddenEntry& entry : saved->Entries())
        names.push_back(entry.name);
    EXPECT_EQ(names, policy.files);
    EXPECT_EQ(saved->GetMessageState(), policy.message);
    // What is intact came over whole.
    std::string copy;
    ASSERT_TRUE(saved->ExtractToWorkFolder(EntryNamed(*saved, "c.txt")->index, copy).Ok());
    EXPECT_EQ(ReadFile(copy), TextLikeBytes(9000));
}

INSTANTIATE_TEST_SUITE_P(
    Policies, DamagedSaveTest,
    ::testing::Values(Policy{"a.bin", DamagedContent::Refuse, Reason::DamagedContent, {}, {}},
                      Policy{"a.bin",
                             DamagedContent::Keep,
                             Reason::None,
                             {"a.bin", "b.bin", "c.txt", "new.txt"},
                             MessageState::Present},
                      Policy{"a.bin",
                             DamagedContent::Drop,
                             Reason::None,
                             {"b.bin", "c.txt", "new.txt"},
                             MessageState::Present},
                      Policy{kMessageEntry, DamagedContent::Refuse, Reason::DamagedContent, {}, {}},
                      Policy{kMessageEntry,
                             DamagedContent::Keep,
                             Reason::None,
                             {"a.bin", "b.bin", "c.txt", "new.txt"},
                             MessageState::Damaged},
                      Policy{kMessageEntry,
                             DamagedContent::Drop,
                             Reason::None,
                             {"a.bin", "b.bin", "c.txt", "new.txt"},
                             MessageState::None}));

TEST_F(DamagedEntriesTest, DamageFoundOnlyByTheReadBackIsToldOrDropped) {
    const std::string carrier = Carrier("c.bmp");
    ASSERT_TRUE(GarbleEntry(carrier, "pw", "b.bin", 4000));
    for (DamagedContent damaged : {DamagedContent::Refuse, DamagedContent::Drop}) {
        std::unique_ptr<UnlockedCarrier> session = Unlocked(carrier);
        ASSERT_NE(session, nullptr);
        ASSERT_TRUE(DamagedNames(*session).empty());
        SaveRequest request;
        request.destination = Path("saved.bmp");
        request.keepMessage = true;
        request.message = "replaced";
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        request.damaged = damaged;
        const Status status = session->Save(request);
        if (damaged == DamagedContent::Refuse) {
            EXPECT_EQ(status.reason, Reason::DamagedContent);
            EXPECT_EQ(status.subject, "b.bin");
            EXPECT_EQ(DamagedNames(*session), std::vector<std::string>{"b.bin"});
        } else {
            EXPECT_TRUE(status.Ok()) << ReasonName(status.reason);
            EXPECT_EQ(session->Entries().size(), 2u);
        }
    }
}

struct LongPassword {
    size_t length;
    bool withMessage;
    bool whole;
};

class LongPasswordTest : public DamagedEntriesTest,
                         public ::testing::WithParamInterface<LongPassword> {};

TEST_P(LongPasswordTest, APasswordNotProvedWholeIsSavedUnderOnlyOnceConfirmed) {
    const LongPassword& c = GetParam();
    const std::string password(c.length, 'p');
    std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage());
    const Password key(password);
    SaveRequest hide;
    hide.destination = Path("c.bmp");
    if (c.withMessage)
        hide.message = "m";
    hide.newPassword = &key;
    std::unique_ptr<UnlockedCarrier> saved;
    ASSERT_TRUE(OpenedCarrier::Hide(picture, hide, saved).Ok());
    EXPECT_TRUE(saved->PasswordProvedWhole());

    std::unique_ptr<UnlockedCarrier> session;
    ASSERT_TRUE(UnlockAt(hide.destination, password, session).Ok());
    EXPECT_EQ(session->PasswordProvedWhole(), c.whole);
    SaveRequest request;
    request.destination = hide.destination;
    request.message = "new";
    EXPECT_EQ(session->Save(request).reason, c.whole ? Reason::None : Reason::PasswordUnproved);
    request.passwordConfirmed = true;
    EXPECT_TRUE(session->Save(request).Ok());
    EXPECT_TRUE(session->PasswordProvedWhole());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongPasswordTest,
                         ::testing::Values(LongPassword{32, false, true},
                                           LongPassword{33, false, false},
                                           LongPassword{60, false, false},
                                           LongPassword{60, true, true}));

TEST_F(DamagedEntriesTest, FilesAndAMessageGoIntoACarrierOfMoreThanAHundredEntries) {
    const std::string many = PythonZip("many.zip", "for i in range(105):\n"
                                                   "    z.writestr('f%03d.txt' % i, str(i))");
    const std::string carrier = WrapArchive(many, "many.bmp", "pw");
    std::unique_ptr<UnlockedCarrier> session = Unlocked(carrier);
    ASSERT_NE(session, nullptr);
    SaveRequest request;
    request.destination = carrier;
    request.message = "now with a message";
    for (const HiddenEntry& entry : session->Entries())
        request.keptEntries.push_back(entry.index);
    request.addedFiles = {MakeFile("added.txt", {'a'})};
    const Status saved = session->Save(request);
    EXPECT_TRUE(saved.Ok()) << ReasonName(saved.reason);
    std::unique_ptr<UnlockedCarrier> again = Unlocked(carrier);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Entries().size(), 106u);
    EXPECT_EQ(again->Entries().back().name, "added.txt");
    EXPECT_EQ(again->Message(), "now with a message");
}

TEST_F(DamagedEntriesTest, ANameTheLocalHeaderGivesOtherwiseIsDamage) {
    // The local header of b.txt names it "c.txt"; its directory record says "b.txt".
    const std::string zip = PythonZip("lie.zip", "z.writestr('a.txt', 'a')\n"
                                                 "z.writestr('b.txt', 'b')\n"
                                                 "z.close()\n"
                                                 "d = bytearray(open(path, 'rb').read())\n"
                                                 "i = d.rfind(b'PK\\x03\\x04')\n"
                                                 "d[i + 30] = ord('c')\n"
                                                 "open(path, 'wb').write(d)\n"
                                                 "import io\n"
                                                 "z = zipfile.ZipFile(io.BytesIO(), 'w')");
    std::unique_ptr<UnlockedCarrier> session = Unlocked(WrapArchive(zip, "lie.bmp", "pw"));
    ASSERT_NE(session, nullptr);
    int checked = 0;
    EXPECT_EQ(session->VerifyAll(checked).reason, Reason::EntryDamaged);
    EXPECT_EQ(DamagedNames(*session), std::vector<std::string>{"b.txt"});
    std::string copy;
    EXPECT_EQ(session->ExtractToWorkFolder(EntryNamed(*session, "b.txt")->index, copy).reason,
              Reason::EntryDamaged);
    EXPECT_TRUE(session->ExtractToWorkFolder(EntryNamed(*session, "a.txt")->index, copy).Ok());
}

TEST_F(DamagedEntriesTest, OfTwoMessageEntriesTheLastIsTheMessage) {
    const std::string zip = PythonZip("two.zip", "z.writestr('veilnote.vnt', b'first\\0')\n"
                                                 "z.writestr('a.txt', 'a')\n"
                                                 "z.writestr('veilnote.vnt', b'second\\0')");
    std::unique_ptr<UnlockedCarrier> session = Unlocked(WrapArchive(zip, "two.bmp", "pw"));
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Message(), "second");
    ASSERT_EQ(session->Entries().size(), 1u);
    EXPECT_EQ(session->Entries()[0].name, "a.txt");
}

} // namespace
} // namespace lumora::test
