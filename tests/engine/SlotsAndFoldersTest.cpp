// SPDX-License-Identifier: GPL-2.0-or-later
// The slot table and the working folders.
#include "EngineTestSupport.h"

#include "engine/WorkDirs.h"
#include "platform/Clock.h"
#include "platform/WorkFolder.h"

#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::test {
namespace {

using SlotsAndFoldersTest = EngineTest;

TEST_F(SlotsAndFoldersTest, HundredSlotsAreTheLimitAndDroppedOnesStayTakenUntilCleared) {
    CBindImage engine;
    FileSlot slot;
    EXPECT_EQ(engine.FirstFileSlot(slot), -1);
    for (int i = 0; i < kSlotCount; ++i)
        ASSERT_EQ(engine.AddFileSlot("s" + std::to_string(i), SLOT_STORED, i, 1), i);
    EXPECT_EQ(engine.AddFileSlot("/x/extra.txt", SLOT_ADDED, -1, 0), -1);
    std::vector<int> every(kSlotCount);
    std::iota(every.begin(), every.end(), 0);
    EXPECT_EQ(engine.ReplaceContent(std::nullopt, every, {AddedFile("/x/extra.txt")}), 0);
    const Status& full = engine.LastStatus();
    EXPECT_EQ(std::tuple(full.reason, full.count, full.limit, full.subject),
              std::tuple(Reason::TooManyFiles, kSlotCount + 1, kSlotCount, "/x/extra.txt"));

    engine.DropAllFiles();
    EXPECT_EQ(engine.FirstFileSlot(slot), -1);
    EXPECT_EQ(engine.AddFileSlot("extra", SLOT_ADDED, -1, 0), -1);
    EXPECT_EQ(engine.SetSlotState(7, SLOT_STORED), 1);
    EXPECT_EQ(engine.SetSlotState(kSlotCount, SLOT_STORED), 0);
    EXPECT_EQ(engine.SetSlotState(-1, SLOT_STORED), 0);
    EXPECT_EQ(engine.FirstFileSlot(slot), 7);
    EXPECT_EQ(slot.name, "s7");
    EXPECT_EQ(slot.entryIndex, 7);
    EXPECT_EQ(engine.NextFileSlot(slot, 7), -1);

    engine.ClearSlots(SLOT_DROPPED);
    std::string file = MakeFile("sized.bin", Bytes(1234, 0));
    EXPECT_EQ(engine.AddFileSlot(file, SLOT_ADDED, -1, 0), 0);
    EXPECT_EQ(engine.Slot(0).size, 1234);
    EXPECT_EQ(engine.AddFileSlot(file, SLOT_STORED, 3, 0), 1); // stored sizes are as given
    EXPECT_EQ(engine.Slot(1).size, 0);
    EXPECT_EQ(engine.NextFileSlot(slot, 0), 1);
    EXPECT_EQ(engine.NextFileSlot(slot, 1), 7);
}

TEST_F(SlotsAndFoldersTest, ReplaceContentKeepsListedFilesOnlyAndAcceptsTheOwnMessage) {
    CBindImage engine;
    ASSERT_EQ(engine.AddFileSlot("kept.txt", SLOT_STORED, 0, 5), 0);
    ASSERT_EQ(engine.AddFileSlot("gone.txt", SLOT_STORED, 1, 5), 1);
    engine.SetMessage("a\r\nb");
    std::string added = MakeFile("added.bin", Bytes(10, 1));

    // The carrier's own message passes through although the message is cleared first.
    ASSERT_EQ(engine.ReplaceContent(engine.Message(), {0}, {added}), 1);
    EXPECT_EQ(engine.Message(), std::optional<std::string>("a\r\nb"));
    EXPECT_EQ(engine.Slot(0).state, SLOT_STORED);
    EXPECT_EQ(engine.Slot(1).state, SLOT_ADDED); // the dropped slot was freed for it
    EXPECT_EQ(engine.Slot(1).name, added);

    // Only a file the carrier listed can be kept.
    EXPECT_EQ(engine.ReplaceContent(std::string(), {5}, {}), 0);
    EXPECT_EQ(std::pair(engine.LastStatus().reason, engine.LastStatus().count),
              std::pair(Reason::NoSuchEntry, int64_t{5}));
    EXPECT_FALSE(engine.Message().has_value());
}

TEST_F(SlotsAndFoldersTest, ObjectsOfTheSameMillisecondGetTheirOwnPrivateFolders) {
    SetTickSource([] { return 1234567u; });
    CBindImage first;
    CBindImage second;
    EXPECT_EQ(first.WorkDir(), CacheFolder() + "/1234567");
    EXPECT_EQ(first.DataDir(), CacheFolder() + "/1234567/DATA");
    EXPECT_EQ(second.WorkDir(), CacheFolder() + "/1234568");
    struct stat info {};
    ASSERT_EQ(::stat(second.WorkDir().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::is_directory(second.DataDir()));

    // Temporary names never repeat, also when the clock stands still or a file is in the way.
    std::set<std::string> names{first.PayloadTempPath(), first.ImageTempPath()};
    WriteFile(first.WorkDir() + "/1234569.tmp", {});
    for (int i = 0; i < 5; ++i)
        names.insert(first.NewTempName());
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(names.count(first.WorkDir() + "/1234569.tmp"), 0u);

    SetTickSource([] { return 0x80000000u; });
    CBindImage late;
    EXPECT_EQ(late.WorkDir(), CacheFolder() + "/-2147483648");
}

TEST_F(SlotsAndFoldersTest, DestroyingAnObjectRemovesItsFolderAndNothingElse) {
    std::string folder;
    std::string other;
    {
        CBindImage keeper;
        other = keeper.WorkDir();
        {
            CBindImage engine;
            folder = engine.WorkDir();
            ASSERT_NE(folder, other);
            std::filesystem::create_directories(engine.DataDir() + "/3/sub");
            WriteFile(engine.DataDir() + "/3/sub/f.txt", {'x'});
            std::filesystem::create_symlink(other, folder + "/link");
            ::chmod((engine.DataDir() + "/3").c_str(), 0500);
        }
        EXPECT_FALSE(FileExists(folder));
        EXPECT_TRUE(std::filesystem::is_directory(other));
        EXPECT_TRUE(std::filesystem::is_directory(CacheFolder()));
    }
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(CBindImage::RemoveFolderTree(CacheFolder() + "/none"), 0);
}

TEST_F(SlotsAndFoldersTest, ALiveObjectsFolderOutlastsTheCleanerAndNoFolderMeansNoWork) {
    {
        CBindImage engine;
        EXPECT_TRUE(engine.WorkFolderError().empty());
        EXPECT_EQ(RemoveStaleWorkFolders(), 0);
        EXPECT_TRUE(std::filesystem::is_directory(engine.DataDir()));
    }
    // Something that is no folder where the cache root belongs.
    ASSERT_TRUE(std::filesystem::remove(CacheFolder()));
    WriteFile(CacheFolder(), {'x'});
    CBindImage engine;
    EXPECT_NE(engine.WorkFolderError().find(CacheFolder()), std::string::npos)
        << engine.WorkFolderError();
    Status failure;
    EXPECT_EQ(Hide(MakeImage(), Path("out.jpg"), "pw", "message", {}, &failure), 0);
    EXPECT_EQ(std::pair(failure.reason, failure.subject),
              std::pair(Reason::NoWorkFolder, engine.WorkFolderError()));
    EXPECT_FALSE(FileExists(Path("out.jpg")));
}

TEST_F(SlotsAndFoldersTest, WorkDirsRecoverFromAFailureAndKeepEveryFolderTheyMadeUntilTheyGo) {
    std::filesystem::remove_all(CacheFolder());
    WriteFile(CacheFolder(), {'x'});
    std::vector<std::string> made;
    {
        WorkDirs dirs;
        dirs.Create();
        EXPECT_FALSE(dirs.Error().empty());
        // Names are still handed out, where nothing can be made.
        const std::string lost = dirs.NewTempName();
        EXPECT_EQ(lost.rfind(dirs.Dir() + "/", 0), 0u) << lost;
        EXPECT_LT(::open(lost.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600), 0);

        ASSERT_TRUE(std::filesystem::remove(CacheFolder()));
        for (int i = 0; i < 2; ++i) {
            made.push_back(dirs.Create());
            EXPECT_TRUE(dirs.Error().empty());
            EXPECT_EQ(dirs.DataDir(), made.back() + "/DATA");
            EXPECT_TRUE(std::filesystem::is_directory(dirs.DataDir()));
        }
        EXPECT_NE(made[0], made[1]);
        const std::string name = dirs.NewTempName();
        EXPECT_EQ(name.rfind(made[1] + "/", 0), 0u) << name;
        // A later folder does not replace the earlier one while the object lives.
        EXPECT_TRUE(std::filesystem::is_directory(made[0]));
    }
    for (const std::string& folder : made)
        EXPECT_FALSE(FileExists(folder)) << folder;
}

} // namespace
} // namespace lumora::test
