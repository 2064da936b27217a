// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/FileLock.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

bool LockedElsewhere(const std::string& path) {
    return RunInChild([&] { return FileLock().Lock(path) == LockStatus::Busy ? 0 : 1; }) == 0;
}

} // namespace

TEST(FileLock, ACarrierLockedByAnotherProcessIsBusyUntilThatProcessEnds) {
    TempDir dir;
    std::string path = dir / "c.jpg";
    WriteText(path, "carrier");
    WaitingChild locker(
        [&] { return (new FileLock)->Lock(path) == LockStatus::Locked ? 'L' : 'F'; });
    ASSERT_EQ(locker.Told(), 'L');
    FileLock mine;
    EXPECT_EQ(mine.Lock(path), LockStatus::Busy);
    locker.Kill();
    ASSERT_EQ(mine.Lock(path), LockStatus::Locked);
    EXPECT_EQ(mine.Identity(), *IdentityOf(path));

    // Closing another descriptor of the file keeps the lock (an fcntl lock would go).
    ::close(::open(path.c_str(), O_RDONLY));
    EXPECT_TRUE(LockedElsewhere(path));

    // A save puts a new file in place by rename, with the same size and time: the path
    // names another file now, which nobody has locked.
    std::filesystem::copy_file(path, dir / "new");
    struct stat info {};
    ::stat(path.c_str(), &info);
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, (dir / "new").c_str(), times, 0);
    std::filesystem::rename(dir / "new", path);
    EXPECT_FALSE(IdentityOf(path)->IsSameFile(mine.Identity()));
    EXPECT_FALSE(*IdentityOf(path) == mine.Identity());
    EXPECT_FALSE(LockedElsewhere(path));
}

TEST(FileLock, OnlyRegularFilesAreLockedAndNothingElseIsOpened) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    // Opening a FIFO for reading would wait for a writer forever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::pair<const char*, int> cases[] = {
        {"missing", ENOENT}, {"folder", EISDIR}, {"fifo", EINVAL}};
    for (auto [name, error] : cases) {
        FileLock lock;
        EXPECT_EQ(lock.Lock(dir / name), LockStatus::Failed) << name;
        EXPECT_EQ(lock.Error(), error) << name;
    }
}

TEST(FileIdentity, ChangesWithTheModificationTimeToTheNanosecond) {
    TempDir dir;
    WriteText(dir / "c.jpg", "12345");
    FileIdentity before = *IdentityOf(dir / "c.jpg");
    struct timespec times[2] = {{0, UTIME_OMIT},
                                {before.modifiedSeconds, before.modifiedNanoseconds ^ 1}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "c.jpg").c_str(), times, 0), 0);
    EXPECT_NE(*IdentityOf(dir / "c.jpg"), before);
}
