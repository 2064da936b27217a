// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers around hostile payload archives, built with python3's zipfile at test time:
// names that climb out of the extraction folder, very long names, thousands of entries.
#include "RobustnessSupport.h"

#include "engine/BindImage.h"
#include "engine/UnlockedCarrier.h"
#include "support/Sessions.h"

#include <filesystem>
#include <unistd.h>

namespace lumora::test {
namespace {

// argv: OUT NAME... ; every entry holds its own name as text, encrypted with the password.
constexpr const char* kNamedEntries = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for name in sys.argv[2:]:
        info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, name.encode())
)";

// argv: OUT COUNT ; COUNT small entries named file-N.txt, then a message entry.
constexpr const char* kManyEntries = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for n in range(int(sys.argv[2])):
        archive.writestr("file-%d.txt" % n, "entry %d" % n)
    archive.writestr("veilnote.vnt", b"many\r\r\nentries\0")
)";

class HostileArchiveTest : public RobustnessTest {
protected:
    // A carrier around an archive of entries with the given names.
    std::string CarrierWithNames(const std::vector<std::string>& names) {
        std::vector<std::string> args = {Path("names.zip")};
        args.insert(args.end(), names.begin(), names.end());
        EXPECT_TRUE(RunPython(kNamedEntries, args));
        std::string carrier = Path("names.gif");
        WrapArchive(Path("names.zip"), carrier);
        return carrier;
    }

    // Re-saves carrier to dest keeping the stored files whose names pass keep.
    int ResaveKeeping(const std::string& carrier, const std::string& dest,
                      const std::function<bool(const std::string&)>& keep) {
        CBindImage engine;
        engine.SetPassword(Password(std::string(kPassword)));
        if (engine.OpenCarrier(carrier, OPEN_UNPACK) != 1)
            return 0;
        std::vector<int> kept;
        FileSlot slot;
        for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k))
            if (keep(slot.name))
                kept.push_back(k);
        engine.DropAllFiles();
        for (int k : kept) {
            if (engine.SetSlotState(k, SLOT_STORED) != 1)
                return 0;
        }
        return engine.SaveCarrier(dest);
    }
};

TEST_F(HostileArchiveTest, NamesThatClimbOutAreListedButNeverExtracted) {
    // An absolute name of this process's own, so that nothing else is touched.
    std::string absolute = "/tmp/lumora-robustness-" + std::to_string(::getpid()) + ".txt";
    std::string carrier = CarrierWithNames({"../escaped.txt", absolute, "..\\escaped-back.txt",
                                            "a/../../escaped-deep.txt", "safe.txt"});
    RevealResult revealed = Reveal(carrier);
    EXPECT_EQ(revealed.unpacked, 1);
    EXPECT_EQ(revealed.files, 1); // only safe.txt gets a slot
    EXPECT_EQ(revealed.extracted, 1);
    EXPECT_FALSE(FileExists(absolute));
    for (const std::string& folder : {m_dir.Path(), CacheFolder()})
        for (const std::string& name : FolderEntries(folder))
            EXPECT_EQ(name.find("escaped"), std::string::npos) << folder << "/" << name;

    // A session's save carries them over as stored, never writing them out.
    {
        std::unique_ptr<UnlockedCarrier> session;
        ASSERT_TRUE(UnlockAt(carrier, kPassword, session).Ok());
        ASSERT_EQ(session->Entries().size(), 5u);
        SaveRequest request;
        request.destination = Path("all.gif");
        request.keepMessage = true;
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        ASSERT_TRUE(session->Save(request).Ok());
        std::vector<std::string> names;
        for (const HiddenEntry& entry : session->Entries())
            names.push_back(entry.name);
        EXPECT_EQ(names,
                  (std::vector<std::string>{"../escaped.txt", absolute, "../escaped-back.txt",
                                            "a/../../escaped-deep.txt", "safe.txt"}));
    }
    EXPECT_FALSE(FileExists(absolute));
    auto safe = [](const std::string& name) { return name == "safe.txt"; };
    ASSERT_EQ(ResaveKeeping(carrier, Path("safe.gif"), safe), 1);
    EXPECT_EQ(Reveal(Path("safe.gif")).extracted, 1);
    EXPECT_TRUE(CacheEntries().empty());
}

TEST_F(HostileArchiveTest, AVeryLongNameFailsToBeWrittenButIsKept) {
    std::string longName(5000, 'n');
    std::string carrier = CarrierWithNames({longName, "short.txt"});
    RevealResult revealed = Reveal(carrier);
    EXPECT_EQ(revealed.unpacked, 1);
    EXPECT_EQ(revealed.files, 2);
    EXPECT_EQ(revealed.extracted, 1); // the long name exceeds what a file name may be
    // It cannot be written out, but a re-save keeps it as stored.
    auto all = [](const std::string&) { return true; };
    ASSERT_EQ(ResaveKeeping(carrier, Path("out.gif"), all), 1);
    EXPECT_EQ(Reveal(Path("out.gif")).files, 2);
    EXPECT_TRUE(CacheEntries().empty());
}

TEST_F(HostileArchiveTest, ThousandsOfEntriesListAHundredAndTheSaveKeepsThem) {
    ASSERT_TRUE(RunPython(kManyEntries, {Path("many.zip"), "5000"}));
    WrapArchive(Path("many.zip"), Path("many.gif"));
    RevealResult revealed = Reveal(Path("many.gif"));
    EXPECT_EQ(revealed.unpacked, 1);
    EXPECT_EQ(revealed.files, kSlotCount);
    EXPECT_EQ(revealed.extracted, kSlotCount);
    EXPECT_EQ(revealed.message, std::optional<std::string>("many\r\nentries"));

    auto all = [](const std::string&) { return true; };
    ASSERT_EQ(ResaveKeeping(Path("many.gif"), Path("kept.gif"), all), 1);
    RevealResult kept = Reveal(Path("kept.gif"));
    EXPECT_EQ(kept.files, kSlotCount);
    EXPECT_EQ(kept.extracted, kSlotCount);
    EXPECT_TRUE(CacheEntries().empty());
}

} // namespace
} // namespace lumora::test
