// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/AtomicFile.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace lumora;
using namespace lumora::test;

TEST(AtomicFile, CommitReplacesTheDestinationAndKeepsItsPermissions) {
    TempDir dir;
    std::string dest = dir / "carrier.jpg";
    WriteText(dest, "old content");
    ::chmod(dest.c_str(), 0640);

    AtomicFile file(dest);
    ASSERT_TRUE(file.Open());
    std::fputs("new content", file.Stream());
    EXPECT_EQ(ReadText(dest), "old content"); // nothing visible before the commit
    ASSERT_TRUE(file.Commit());

    EXPECT_EQ(ReadText(dest), "new content");
    struct stat st {};
    ASSERT_EQ(::stat(dest.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(AtomicFile, AnUncommittedFileLeavesTheDestinationAndNoLeftovers) {
    TempDir dir;
    std::string dest = dir / "carrier.jpg";
    WriteText(dest, "old content");
    {
        AtomicFile file(dest);
        ASSERT_TRUE(file.Open());
        std::fputs("half written", file.Stream());
    }
    EXPECT_EQ(ReadText(dest), "old content");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(AtomicFile, OpenFailsInAMissingFolderOrUnderARegularFile) {
    TempDir dir;
    WriteText(dir / "plain", "x");
    AtomicFile missing(dir / "no/such/folder/out.jpg");
    EXPECT_FALSE(missing.Open());
    AtomicFile underFile(dir / "plain/out.jpg");
    EXPECT_FALSE(underFile.Open());
    EXPECT_FALSE(underFile.Commit());
}

TEST(AtomicFile, MoveFileReplacingOverwritesTheTarget) {
    TempDir dir;
    WriteText(dir / "a", "A");
    WriteText(dir / "b", "B");
    EXPECT_TRUE(MoveFileReplacing(dir / "a", dir / "b"));
    EXPECT_EQ(ReadText(dir / "b"), "A");
    EXPECT_FALSE(FileExists(dir / "a"));
    EXPECT_FALSE(MoveFileReplacing(dir / "missing", dir / "b"));
}

TEST(AtomicFile, ADestinationWithALongNameCanBeReplaced) {
    TempDir dir;
    std::string dest = dir / (std::string(250, 'n') + ".jpg");
    AtomicFile file(dest);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Write("content", 7));
    ASSERT_TRUE(file.Commit(AtomicFile::Sync::No));
    EXPECT_EQ(ReadText(dest), "content");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}
