// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/FolderHandle.h"
#include "platform/AtomicFile.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

TEST(FolderHandle, NothingBelowTheChosenFolderIsReachedThroughALink) {
    TempDir dir;
    TempDir elsewhere;
    // The folder the user names may itself be a link: that is the user's choice.
    std::string chosen = elsewhere / "chosen";
    ASSERT_EQ(::symlink(dir.Path().c_str(), chosen.c_str()), 0);
    FolderHandle top = FolderHandle::Open(chosen);
    ASSERT_EQ(::symlink(elsewhere.Path().c_str(), (dir / "link").c_str()), 0);
    WriteText(dir / "file", "x");
    const std::pair<const char*, int> walks[] = {
        {"link/sub", ENOTDIR}, {"file/sub", ENOTDIR}, {"real/../link", EINVAL},
        {"a/", EINVAL},        {"real/new/f.txt", 0}, {"real//./new/g.txt", 0}};
    for (auto [entry, error] : walks) {
        std::string fileName;
        EXPECT_EQ(top.ParentOfEntry(entry, true, fileName).Error(), error) << entry;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "real/new"));

    // Someone who may write in the folder swaps a checked subfolder for a link: what is
    // written through the handle still lands in the real folder.
    std::string fileName;
    FolderHandle parent = top.ParentOfEntry("real/new/f.txt", false, fileName);
    std::filesystem::rename(dir / "real", dir / "moved");
    ASSERT_EQ(::symlink(elsewhere.Path().c_str(), (dir / "real").c_str()), 0);
    AtomicFile file(parent, fileName);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Commit(Replace::Never));
    EXPECT_TRUE(FileExists(dir / "moved/new/f.txt"));
    EXPECT_EQ(top.ParentOfEntry("real/new/g.txt", true, fileName).Error(), ENOTDIR);
    EXPECT_EQ(EntriesIn(elsewhere.Path()), 1u); // only the link "chosen"
}
