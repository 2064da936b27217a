// SPDX-License-Identifier: GPL-2.0-or-later
// Sealed carriers through the carrier session: conversions both ways, fresh randomness on
// every save, refusal of every changed or missing byte, the picture's own sealed data.
#include "EngineTestSupport.h"

#include "archive/Unzipper.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "support/Sessions.h"

#include <filesystem>

namespace lumora::test {
namespace {

constexpr size_t kImageSize = 1000;
constexpr size_t kTail = kSealedTailSize;
constexpr size_t kChunkBytes = kSealedChunkSize + 17;

class SealedSessionTest : public EngineTest {
protected:
    SealedSessionTest() { UseSealedTestFormat(true); }
    ~SealedSessionTest() override { UseSealedTestFormat(false); }

    // Hides message and files behind a 1000-byte picture in the given format.
    std::string HideAs(CarrierFormat format, const std::string& password,
                       const std::vector<std::string>& files, const std::string& name) {
        std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage(name + ".bmp"));
        EXPECT_NE(picture, nullptr);
        const Password typed(password);
        SaveRequest request;
        request.destination = Path(name);
        request.message = "hello\r\nsealed";
        for (const std::string& file : files)
            request.addedFiles.emplace_back(file);
        request.newPassword = &typed;
        request.format = format;
        std::unique_ptr<UnlockedCarrier> saved;
        EXPECT_EQ(OpenedCarrier::Hide(picture, request, saved).reason, Reason::None);
        EXPECT_TRUE(saved != nullptr && saved->Format() == format);
        return request.destination;
    }

    // Re-saves everything the carrier holds, in format (none: its own).
    Status Resave(const std::string& carrier, const std::string& password,
                  std::optional<CarrierFormat> format, const std::string& dest,
                  const std::string* newPassword = nullptr) {
        std::unique_ptr<UnlockedCarrier> session;
        const Status unlocked = UnlockAt(carrier, password, session);
        if (!unlocked.Ok())
            return unlocked;
        const std::optional<Password> typed =
            newPassword ? std::optional(Password(*newPassword)) : std::nullopt;
        SaveRequest request;
        request.destination = dest;
        request.keepMessage = true;
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        request.newPassword = typed ? &*typed : nullptr;
        request.format = format;
        return session->Save(request);
    }

    // The file bytes a session reveals by name, and the archive's entries enciphered or not.
    struct Opened {
        Status status;
        CarrierFormat format = CarrierFormat::Classic;
        std::optional<std::string> message;
        std::map<std::string, Bytes> files;
        CarrierTrailer summary{};
        bool plainEntries = true;
    };
    Opened Open(const std::string& carrier, const std::string& password) {
        Opened opened;
        std::unique_ptr<UnlockedCarrier> session;
        opened.status = UnlockAt(carrier, password, session);
        if (!opened.status.Ok())
            return opened;
        opened.format = session->Format();
        opened.message = session->Message();
        opened.summary = session->Summary();
        for (const HiddenEntry& entry : session->Entries()) {
            std::string copy;
            EXPECT_TRUE(session->ExtractToWorkFolder(entry.index, copy).Ok());
            opened.files[entry.name] = ReadFile(copy);
        }
        CUnzipper archive(session->WorkingCopy());
        for (int i = 0; i < archive.EntryCount(); ++i) {
            ZipEntryInfo info;
            EXPECT_TRUE(archive.EntryInfoAt(i, info));
            opened.plainEntries = opened.plainEntries && !info.encrypted;
        }
        return opened;
    }
};

TEST_F(SealedSessionTest, RoundTripsBetweenTheFormats) {
    const std::string small = MakeFile("small.txt", PseudoRandomBytes(10, 1));
    const std::string large = MakeFile("large.bin", PseudoRandomBytes(3 * kSealedChunkSize, 2));
    const Bytes image = ReadFile(MakeImage("reference.bmp"));
    const std::string otherPassword = "a new password, longer than thirty-two bytes";
    struct Case {
        const char* name;
        CarrierFormat hidden;
        std::optional<CarrierFormat> resaved; // none keeps the format
        bool newPassword;
        CarrierFormat expected;
    };
    const Case cases[] = {
        {"classic kept", CarrierFormat::Classic, std::nullopt, false, CarrierFormat::Classic},
        {"sealed kept", CarrierFormat::Sealed, std::nullopt, false, CarrierFormat::Sealed},
        {"sealed, new password", CarrierFormat::Sealed, std::nullopt, true, CarrierFormat::Sealed},
        {"classic to sealed", CarrierFormat::Classic, CarrierFormat::Sealed, false,
         CarrierFormat::Sealed},
        {"sealed to classic", CarrierFormat::Sealed, CarrierFormat::Classic, false,
         CarrierFormat::Classic},
        {"classic to sealed, new password", CarrierFormat::Classic, CarrierFormat::Sealed, true,
         CarrierFormat::Sealed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string carrier = HideAs(c.hidden, "pw", {small, large}, "hidden");
        const std::string dest = Path("resaved");
        ASSERT_TRUE(
            Resave(carrier, "pw", c.resaved, dest, c.newPassword ? &otherPassword : nullptr).Ok());
        const std::string& password = c.newPassword ? otherPassword : std::string("pw");
        const Opened opened = Open(dest, password);
        ASSERT_EQ(opened.status.reason, Reason::None);
        EXPECT_EQ(opened.format, c.expected);
        EXPECT_EQ(opened.message, std::optional<std::string>("hello\r\nsealed"));
        EXPECT_EQ(opened.files.at("small.txt"), ReadFile(small));
        EXPECT_EQ(opened.files.at("large.bin"), ReadFile(large));
        // Sealed archives hold plain entries: the sealed layers protect them.
        EXPECT_EQ(opened.plainEntries, c.expected == CarrierFormat::Sealed);
        // The picture comes through every conversion byte for byte, and nothing else stays.
        const Bytes written = ReadFile(dest);
        EXPECT_EQ(Bytes(written.begin(), written.begin() + kImageSize), image);
        EXPECT_EQ(opened.summary.imageLength, static_cast<int32_t>(kImageSize));
        EXPECT_EQ(opened.summary.fileCount, 2);
        EXPECT_EQ(opened.summary.filesTotalSize, static_cast<int32_t>(10 + 3 * kSealedChunkSize));
        EXPECT_EQ(opened.summary.messageLength, 13);
        EXPECT_EQ(int64_t{opened.summary.imageLength} + opened.summary.payloadLength +
                      (c.expected == CarrierFormat::Classic ? 60 : 0),
                  static_cast<int64_t>(written.size()));

        // The old password no longer opens a carrier saved under a new one, told as the
        // format tells it.
        const Opened wrong = Open(dest, c.newPassword ? "pw" : "wrong");
        EXPECT_EQ(wrong.status.reason, c.expected == CarrierFormat::Sealed ? Reason::SealedNotOpened
                                                                           : Reason::WrongPassword);
    }
}

TEST_F(SealedSessionTest, EverySaveDrawsFreshSaltNonceAndStream) {
    const std::string file = MakeFile("f.txt", PseudoRandomBytes(100, 3));
    std::vector<Bytes> carriers;
    const std::string first = HideAs(CarrierFormat::Sealed, "pw", {file}, "c0");
    carriers.push_back(ReadFile(first));
    for (int i = 1; i < 20; ++i) {
        const std::string dest = Path("c" + std::to_string(i));
        ASSERT_TRUE(Resave(first, "pw", std::nullopt, dest).Ok());
        carriers.push_back(ReadFile(dest));
    }
    for (const Bytes& carrier : carriers)
        ASSERT_EQ(carrier.size(), carriers[0].size());
    for (size_t at = kImageSize; at < carriers[0].size(); ++at) {
        bool differs = false;
        for (const Bytes& carrier : carriers)
            differs = differs || carrier[at] != carriers[0][at];
        EXPECT_TRUE(differs) << "byte " << at << " is the same in twenty carriers";
    }
}

// Any change after the picture, and any cut, is refused before anything is listed, and the
// unsealed bytes do not stay behind in the working folder.
TEST_F(SealedSessionTest, ChangedOrCutCarriersAreRefusedAndLeaveNothing) {
    const std::string file = MakeFile("f.bin", PseudoRandomBytes(kSealedChunkSize + 500, 4));
    const Bytes carrier = ReadFile(HideAs(CarrierFormat::Sealed, "pw", {file}, "sealed"));
    const size_t tail = carrier.size() - kTail;
    const size_t chunks = kImageSize + 24;
    struct Case {
        std::string name;
        size_t flip; // byte to change; SIZE_MAX: none
        size_t keep; // bytes kept
    };
    std::vector<Case> cases = {
        {"stream header", kImageSize, carrier.size()},
        {"first byte of chunk 1", chunks, carrier.size()},
        {"last byte of chunk 1", chunks + kChunkBytes - 1, carrier.size()},
        {"first byte of chunk 2", chunks + kChunkBytes, carrier.size()},
        {"last byte of chunk 2", tail - 1, carrier.size()},
        {"one byte short", SIZE_MAX, carrier.size() - 1},
        {"tail missing", SIZE_MAX, tail},
        {"last chunk missing", SIZE_MAX, chunks + kChunkBytes},
        {"picture alone", SIZE_MAX, kImageSize},
    };
    for (size_t at = tail; at < carrier.size(); ++at)
        cases.push_back({"tail byte " + std::to_string(at - tail), at, carrier.size()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes changed(carrier.begin(), carrier.begin() + c.keep);
        if (c.flip != SIZE_MAX)
            changed[c.flip] ^= 0x01;
        const std::string path = MakeFile("changed.bmp", changed);
        std::unique_ptr<OpenedCarrier> opened = OpenAt(path);
        ASSERT_NE(opened, nullptr);
        std::unique_ptr<UnlockedCarrier> unlocked;
        const Status status = OpenedCarrier::Unlock(opened, Password("pw"), unlocked);
        EXPECT_TRUE(status.reason == Reason::Damaged || status.reason == Reason::SealedNotOpened)
            << ReasonName(status.reason);
        // Nothing unlocked to list or extract from; the opened carrier stays, holding nothing
        // of the unsealed bytes.
        EXPECT_EQ(unlocked, nullptr);
        ASSERT_NE(opened, nullptr);
        EXPECT_FALSE(FileExists(opened->WorkingCopy()));
    }
}

TEST_F(SealedSessionTest, CancellingTheDerivationWritesNothing) {
    struct CancelAt : CProgressObserver {
        bool OnProgress(ProgressStep step, int64_t, int64_t) override {
            steps.push_back(step);
            return step != ProgressStep::DerivingKey;
        }
        std::vector<ProgressStep> steps;
    } observer;
    const std::string carrier = HideAs(CarrierFormat::Sealed, "pw", {}, "sealed");
    std::unique_ptr<OpenedCarrier> session = OpenAt(carrier);
    ASSERT_NE(session, nullptr);
    session->SetProgressObserver(&observer);
    std::unique_ptr<UnlockedCarrier> unlocked;
    EXPECT_EQ(OpenedCarrier::Unlock(session, Password("pw"), unlocked).reason, Reason::Cancelled);
    EXPECT_EQ(observer.steps, std::vector<ProgressStep>{ProgressStep::DerivingKey});
    ASSERT_NE(session, nullptr);
    EXPECT_FALSE(FileExists(session->WorkingCopy()));

    std::unique_ptr<OpenedCarrier> hide = OpenAt(MakeImage("picture.bmp"));
    ASSERT_NE(hide, nullptr);
    hide->SetProgressObserver(&observer);
    const Password password("pw");
    SaveRequest request;
    request.destination = Path("never.bmp");
    request.newPassword = &password;
    request.format = CarrierFormat::Sealed;
    std::unique_ptr<UnlockedCarrier> saved;
    EXPECT_EQ(OpenedCarrier::Hide(hide, request, saved).reason, Reason::Cancelled);
    EXPECT_EQ(saved, nullptr);
    EXPECT_FALSE(FileExists(request.destination));
}

// A hide behind a picture that already holds sealed data cuts that data off when the
// password opens it; under another password it stays inside the new image part.
TEST_F(SealedSessionTest, HidingBehindSealedDataCutsWhatThePasswordOpens) {
    const std::string old = HideAs(CarrierFormat::Sealed, "pw", {}, "old");
    const int64_t oldSize = static_cast<int64_t>(ReadFile(old).size());
    struct Case {
        const char* password;
        CarrierFormat format;
        int64_t imagePart;
    };
    const Case cases[] = {
        {"pw", CarrierFormat::Sealed, kImageSize},
        {"other", CarrierFormat::Sealed, oldSize},
        {"pw", CarrierFormat::Classic, oldSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        std::unique_ptr<OpenedCarrier> session = OpenAt(old);
        ASSERT_NE(session, nullptr);
        EXPECT_TRUE(session->MayHoldSealedData());
        const Password password(c.password);
        SaveRequest request;
        request.destination = Path("new.bmp");
        request.message = "new";
        request.newPassword = &password;
        request.format = c.format;
        std::unique_ptr<UnlockedCarrier> saved;
        ASSERT_TRUE(OpenedCarrier::Hide(session, request, saved).Ok());
        EXPECT_EQ(saved->Summary().imageLength, c.imagePart);
        const Opened opened = Open(request.destination, c.password);
        ASSERT_TRUE(opened.status.Ok());
        EXPECT_EQ(opened.message, std::optional<std::string>("new"));
        EXPECT_EQ(opened.summary.imageLength, c.imagePart);
    }
}

} // namespace
} // namespace lumora::test
