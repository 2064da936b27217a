// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/WorkFolder.h"
#include "platform/ProgramFolders.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

bool LockedByAnotherProcess(const std::string& folder) {
    return RunInChild([&] {
               int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
               return ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1;
           }) == 0;
}

// A folder of this user's, or (as root can make one) of another user's.
void MakeForeignFolder(const std::string& path) {
    std::filesystem::create_directory(path);
    ::chmod(path.c_str(), 0777);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
}

class WorkFolderTest : public ::testing::Test {
protected:
    TempDir m_root;
    FolderHandle m_handle = FolderHandle::Open(m_root.Path());
    TempDir m_outside;
};

} // namespace

TEST_F(WorkFolderTest, NewFoldersArePrivateLockedNeverPreparedByOthersAndGoWithAllInside) {
    WriteText(m_outside / "keep", "k");
    MakeForeignFolder(m_root / "41"); // made beforehand, open to all
    {
        WorkFolder first = WorkFolder::CreateIn(m_handle, 41);
        WorkFolder second = WorkFolder::CreateIn(m_handle, 41);
        WorkFolder last = WorkFolder::CreateIn(m_handle, INT32_MAX);
        WorkFolder wrapped = WorkFolder::CreateIn(m_handle, INT32_MAX);
        EXPECT_EQ(first.Path(), m_root / "42");
        EXPECT_EQ(second.Path(), m_root / "43");
        EXPECT_EQ(last.Path(), m_root / "2147483647");
        EXPECT_EQ(wrapped.Path(), m_root / "-2147483648");
        mode_t umask = ::umask(0777); // a umask that would leave the owner no rights
        WorkFolder underUmask = WorkFolder::CreateIn(m_handle, 1);
        ::umask(umask);
        EXPECT_EQ(StatOf(underUmask.Path()).st_mode & 07777, 0700u);
        EXPECT_EQ(StatOf(first.Path()).st_mode & 07777, 0700u);
        EXPECT_EQ(StatOf(first.Path()).st_uid, ::geteuid());
        EXPECT_EQ(EntriesIn(m_root / "41"), 0u);
        EXPECT_TRUE(LockedByAnotherProcess(first.Path()));

        std::filesystem::create_directories(first.Path() + "/sub/deeper");
        WriteText(first.Path() + "/sub/deeper/f.txt", "secret");
        ::chmod((first.Path() + "/sub").c_str(), 0500);
        ASSERT_EQ(::symlink(m_outside.Path().c_str(), (first.Path() + "/link").c_str()), 0);
    }
    EXPECT_EQ(EntriesIn(m_root.Path()), 1u);
    EXPECT_EQ(ReadText(m_outside / "keep"), "k");

    WorkFolder none = WorkFolder::CreateIn(FolderHandle::Open(m_root / "missing"), 1);
    EXPECT_FALSE(none);
    EXPECT_NE(none.Error().find("cannot create a working folder"), std::string::npos);
}

TEST_F(WorkFolderTest, OnlyStaleWorkingFoldersOfTheUserAreRemoved) {
    // Children keep their folders (never released) until they are killed.
    WaitingChild live(
        [&] { return *new WorkFolder(WorkFolder::CreateIn(m_handle, 100)) ? 'L' : 'F'; });
    WaitingChild killed([&] {
        auto* folder = new WorkFolder(WorkFolder::CreateIn(m_handle, 200));
        WriteText(folder->Path() + "/veilnote.vnt", "plain text");
        return ::symlink(m_outside.Path().c_str(), (folder->Path() + "/link").c_str()) == 0 ? 'L'
                                                                                            : 'F';
    });
    ASSERT_EQ(live.Told(), 'L');
    ASSERT_EQ(killed.Told(), 'L');
    killed.Kill();
    std::filesystem::create_directory(m_root / "300");           // from an older release
    std::filesystem::create_directory(m_root / ".new-ABCDEFGH"); // a creation cut short
    std::filesystem::create_directory(m_root / "notes");         // no working folder's name
    ASSERT_EQ(::symlink(m_outside.Path().c_str(), (m_root / "400").c_str()), 0);
    WriteText(m_root / "500", "a file");
    MakeForeignFolder(m_root / "600"); // kept when it belongs to another user
    WriteText(m_outside / "keep", "k");

    EXPECT_EQ(RemoveStaleWorkFolders(m_handle), ::geteuid() == 0 ? 3 : 4);
    EXPECT_EQ(EntriesIn(m_root.Path()), ::geteuid() == 0 ? 5u : 4u);
    EXPECT_TRUE(std::filesystem::is_directory(m_root / "100"));
    EXPECT_EQ(ReadText(m_outside / "keep"), "k");
    live.Kill();
    EXPECT_EQ(RemoveStaleWorkFolders(m_handle), 1);
}

namespace {

// CacheRoot() and WorkFolder::Create's error in a child with only `variables` in its
// environment and an unusable program folder, as the user `uid`.
std::pair<std::string, std::string> CacheRootInChild(const std::vector<std::string>& variables,
                                                     uid_t uid) {
    TempDir out;
    ::chmod(out.Path().c_str(), 0777);
    int status = RunInChild([&] {
        if (uid != ::geteuid() && (::setgid(uid) != 0 || ::setuid(uid) != 0))
            return 1;
        ::clearenv();
        for (const std::string& variable : variables)
            ::putenv(const_cast<char*>(variable.c_str()));
        SetProgramFolderOverride("/dev/null/program");
        WriteText(out / "root", CacheRoot());
        WriteText(out / "error", CacheRoot().empty() ? WorkFolder::Create(1).Error() : "");
        return 0;
    });
    if (status != 0)
        return {"child failed", ""};
    return {ReadText(out / "root"), ReadText(out / "error")};
}

} // namespace

TEST(CacheRoot, IsTheUsersOwnFolderAndNeverOneOthersMayWriteIn) {
    TempDir program;
    SetProgramFolderOverride(program.Path());
    std::string cache = program / "cache";
    MakeForeignFolder(cache);
    std::string error;
    bool asRoot = ::geteuid() == 0;
    // Another user's cache root is refused; the user's own is made private.
    EXPECT_EQ(bool(OpenCacheRoot(true, error)), !asRoot);
    EXPECT_EQ(StatOf(cache).st_mode & 0777, asRoot ? 0777u : 0700u);
    EXPECT_EQ(error.find("belongs to another user") != std::string::npos, asRoot) << error;
    EXPECT_EQ(WorkFolder::Create(1).Error(), error);
    EXPECT_EQ(EntriesIn(cache), 0u);

    // A program folder that others may write in never holds the cache.
    ::chmod(program.Path().c_str(), 0777);
    EXPECT_EQ(CacheRootInChild({"XDG_CACHE_HOME=/x"}, ::geteuid()).first, "/x/lumora");
    SetProgramFolderOverride("");
}

TEST(CacheRoot, ComesFromTheEnvironmentOrThePasswordDatabaseAndFromTmpLast) {
    TempDir mine;
    TempDir foreign; // a home folder that is not the user's own
    MakeForeignFolder(foreign / "home");
    std::string other = ::geteuid() == 0 ? foreign / "home" : "/";
    const struct passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    struct stat home = StatOf(entry->pw_dir);
    std::string fromDatabase = S_ISDIR(home.st_mode) && home.st_uid == ::geteuid()
                                   ? std::string(entry->pw_dir) + "/.cache/lumora"
                                   : "";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"XDG_CACHE_HOME=/x/cache", "HOME=" + mine.Path()}, "/x/cache/lumora"},
        {{"XDG_CACHE_HOME=relative", "HOME=" + mine.Path()}, mine / ".cache/lumora"},
        {{"HOME=" + other}, fromDatabase},
        {{"XDG_RUNTIME_DIR=/run/user/x"},
         fromDatabase.empty() ? "/run/user/x/lumora" : fromDatabase},
    };
    for (const auto& [variables, expected] : cases)
        EXPECT_EQ(CacheRootInChild(variables, ::geteuid()).first, expected) << variables[0];

    if (::geteuid() != 0)
        GTEST_SKIP() << "the user nobody, who has no home folder, needs root to become";
    const struct passwd* nobody = ::getpwuid(kNobody);
    if (nobody == nullptr || StatOf(nobody->pw_dir).st_uid == kNobody)
        GTEST_SKIP() << "the user nobody has a home folder here";
    EXPECT_EQ(CacheRootInChild({"XDG_RUNTIME_DIR=/run/user/65534"}, kNobody).first,
              "/run/user/65534/lumora");
    EXPECT_EQ(CacheRootInChild({"HOME=/"}, kNobody).first, "/tmp/lumora-65534");
    EXPECT_EQ(CacheRootInChild({"HOME=/", "TMPDIR=/var/tmp"}, kNobody).first,
              "/var/tmp/lumora-65534");
}

TEST(CacheRoot, InAFolderOthersMayWriteToIsNeverALink) {
    TempDir shared;
    ASSERT_EQ(::chmod(shared.Path().c_str(), 01777), 0);
    TempDir elsewhere;
    ASSERT_EQ(::symlink(elsewhere.Path().c_str(), (shared / "lumora").c_str()), 0);
    const std::string variable = "XDG_CACHE_HOME=" + shared.Path();
    ASSERT_EQ(CacheRootInChild({variable}, ::geteuid()).first, shared / "lumora");

    const auto opened = [&] {
        return RunInChild([&] {
            ::clearenv();
            ::putenv(const_cast<char*>(variable.c_str()));
            SetProgramFolderOverride("/dev/null/program");
            std::string error;
            return OpenCacheRoot(true, error) ? 0 : 1;
        });
    };
    EXPECT_EQ(opened(), 1);
    EXPECT_EQ(EntriesIn(elsewhere.Path()), 0u);
    ASSERT_EQ(::unlink((shared / "lumora").c_str()), 0);
    EXPECT_EQ(opened(), 0);
    EXPECT_EQ(StatOf(shared / "lumora").st_mode & 0777, 0700u);
}
