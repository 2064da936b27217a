// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/AtomicFile.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// Writes text as `name` in `folder`; 0, or the errno of the step that failed.
int Place(const FolderHandle& folder, const std::string& name, const std::string& text,
          Replace replace) {
    AtomicFile file(folder, name);
    if (!file.Open())
        return errno;
    if (!file.Write(text.data(), text.size()))
        return errno;
    return file.Commit(replace, AtomicFile::Sync::No) ? 0 : errno;
}

// Asked without AtomicFile, so that a fault there cannot turn a test into a skip.
bool HasUnnamedFiles(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR, 0600);
    return fd >= 0 && ::close(fd) == 0;
}

// Each test runs with the umask 027; both kinds of temporaries are allowed again after it.
class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override { m_umask = ::umask(027); }
    void TearDown() override {
        ::umask(m_umask);
        AtomicFile::UseNamedTemporariesOnly(false);
    }

    TempDir m_dir;
    FolderHandle m_folder = FolderHandle::Open(m_dir.Path());

private:
    mode_t m_umask = 022;
};

} // namespace

TEST_F(AtomicFileTest, CommitReplacesTheDestinationOnlyWhenComplete) {
    std::string dest = m_dir / "carrier.jpg";
    WriteText(dest, "old content");
    AtomicFile file(dest);
    ASSERT_TRUE(file.Open());
    std::fputs("new content", file.Stream());
    char back[12] = {}; // the new file is read back before it is committed
    std::rewind(file.Stream());
    ASSERT_EQ(std::fread(back, 1, 11, file.Stream()), 11u);
    EXPECT_STREQ(back, "new content");
    EXPECT_EQ(ReadText(dest), "old content");
    ASSERT_TRUE(file.Commit(Replace::Always));
    EXPECT_EQ(ReadText(dest), "new content");
    EXPECT_EQ(EntriesIn(m_dir.Path()), 1u);
}

TEST_F(AtomicFileTest, PermissionsAndExistingFilesFollowTheReplaceRule) {
    struct Case {
        mode_t existing; // 0: no file there
        Replace replace;
        int error;
        mode_t mode;
    };
    const Case cases[] = {
        {0, Replace::Never, 0, 0640}, // 0666 less the umask 027
        {0, Replace::Always, 0, 0640},        {0751, Replace::Always, 0, 0751},
        {04755, Replace::Always, 0, 0755}, // not set-user-ID
        {0600, Replace::Never, EEXIST, 0600},
    };
    int number = 0;
    for (bool named : {false, true}) {
        AtomicFile::UseNamedTemporariesOnly(named);
        for (const Case& c : cases) {
            std::string name = "file" + std::to_string(number++);
            std::string path = m_dir / name;
            if (c.existing != 0) {
                WriteText(path, "old");
                ::chmod(path.c_str(), c.existing);
            }
            EXPECT_EQ(Place(m_folder, name, "new", c.replace), c.error) << name;
            EXPECT_EQ(ReadText(path), c.error == 0 ? "new" : "old") << name;
            EXPECT_EQ(ModeOf(path) & 07777, c.mode) << name;
        }
    }
    EXPECT_EQ(EntriesIn(m_dir.Path()), 10u); // no temporary left behind
}

TEST_F(AtomicFileTest, OnlyRegularFilesAreEverReplacedAndNothingIsFollowed) {
    WriteText(m_dir / "target", "kept");
    std::filesystem::create_directory(m_dir / "folder");
    ASSERT_EQ(::symlink("target", (m_dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (m_dir / "dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    std::vector<std::pair<std::string, int>> refused = {
        {"link", ELOOP}, {"dangling", ELOOP}, {"fifo", EEXIST}, {"folder", EISDIR}};
    // The numbers of /dev/null; only root may make a device node.
    if (::mknod((m_dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
        refused.emplace_back("null", EEXIST);
    for (bool named : {false, true}) {
        AtomicFile::UseNamedTemporariesOnly(named);
        for (auto [name, error] : refused) {
            EXPECT_EQ(Place(m_folder, name, "new", Replace::Never), error) << name;
            EXPECT_EQ(Place(m_folder, name, "new", Replace::Always), error) << name;
        }
    }
    EXPECT_EQ(ReadText(m_dir / "target"), "kept");
    EXPECT_EQ(std::filesystem::read_symlink(m_dir / "link"), "target");
    EXPECT_TRUE(S_ISFIFO(ModeOf(m_dir / "fifo")));
    EXPECT_FALSE(FileExists(m_dir / "missing"));
    EXPECT_EQ(EntriesIn(m_dir / "folder"), 0u);
    EXPECT_EQ(EntriesIn(m_dir.Path()), refused.size() + 1);
    if (refused.size() == 4)
        GTEST_SKIP() << "the device node case needs root (CAP_MKNOD); the others passed";
    EXPECT_TRUE(S_ISCHR(ModeOf(m_dir / "null")));
}

TEST_F(AtomicFileTest, NothingIsLeftWhenOpenFailsOrNoCommitFollows) {
    WriteText(m_dir / "plain", "x");
    AtomicFile missing(m_dir / "no/such/folder/out.jpg");
    EXPECT_FALSE(missing.Open());
    AtomicFile underFile(m_dir / "plain/out.jpg");
    EXPECT_FALSE(underFile.Open());
    EXPECT_FALSE(underFile.Commit(Replace::Always));
    for (bool named : {false, true}) {
        AtomicFile::UseNamedTemporariesOnly(named);
        AtomicFile file(m_folder, "plain");
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("half", 4));
    }
    EXPECT_EQ(ReadText(m_dir / "plain"), "x");
    EXPECT_EQ(EntriesIn(m_dir.Path()), 1u);
}

TEST_F(AtomicFileTest, ADestinationWithALongNameCanBeReplaced) {
    std::string name = std::string(250, 'n') + ".jpg";
    for (bool named : {false, true}) {
        AtomicFile::UseNamedTemporariesOnly(named);
        WriteText(m_dir / name, "old");
        EXPECT_EQ(Place(m_folder, name, "content", Replace::Always), 0);
        EXPECT_EQ(ReadText(m_dir / name), "content");
        EXPECT_EQ(EntriesIn(m_dir.Path()), 1u);
    }
}

// Writers in children keep their file open (never released) until they are killed.
TEST_F(AtomicFileTest, AKilledWriterLeavesNothingOrALeftoverThatOnlyTheCleanerRemoves) {
    auto startWriter = [&] {
        return std::make_unique<WaitingChild>([&] {
            auto* file = new AtomicFile(m_folder, "c.jpg");
            return !file->Open() ? 'F' : file->TempName().empty() ? 'U' : 'N';
        });
    };
    if (HasUnnamedFiles(m_dir.Path())) {
        ASSERT_EQ(startWriter()->Told(), 'U');
        EXPECT_EQ(EntriesIn(m_dir.Path()), 0u);
    }
    AtomicFile::UseNamedTemporariesOnly(true);
    auto live = startWriter();
    auto killed = startWriter();
    ASSERT_EQ(killed->Told(), 'N');
    killed->Kill();
    // Look-alikes that are no abandoned temporary of this user's.
    TempDir outside;
    WriteText(outside / "secret", "s");
    ASSERT_EQ(::symlink((outside / "secret").c_str(), (m_dir / "c.jpg.lumora-LINKED").c_str()), 0);
    ASSERT_EQ(::mkfifo((m_dir / "c.jpg.lumora-FIFO00").c_str(), 0600), 0);
    WriteText(m_dir / "d.jpg.lumora-OTHER1", "another file's");
    WriteText(m_dir / "c.jpg.lumora-SEVEN77", "not the pattern");
    size_t lookAlikes = 4;
    // Root can give a file to another user; others cannot, and so leave this case out.
    if (::geteuid() == 0) {
        WriteText(m_dir / "c.jpg.lumora-NOBODY", "");
        ASSERT_EQ(::chown((m_dir / "c.jpg.lumora-NOBODY").c_str(), 65534, 65534), 0);
        ++lookAlikes;
    }
    EXPECT_EQ(RemoveStaleSaveLeftovers(m_folder, "c.jpg"), 1);
    EXPECT_EQ(EntriesIn(m_dir.Path()), lookAlikes + 1);
    live->Kill();
    EXPECT_EQ(RemoveStaleSaveLeftovers(m_folder, "c.jpg"), 1);
    EXPECT_EQ(EntriesIn(m_dir.Path()), lookAlikes);
    EXPECT_EQ(ReadText(outside / "secret"), "s");
}

TEST_F(AtomicFileTest, ReplaceOnlyLeavesAFileThatTookTheNameMeanwhile) {
    enum class Meanwhile { Nothing, RenamedOver, Removed };
    struct Case {
        Meanwhile meanwhile;
        bool committed;
        std::string left; // what the destination holds afterwards; empty: nothing
    };
    const Case cases[] = {
        {Meanwhile::Nothing, true, "new"},
        {Meanwhile::RenamedOver, false, "replacement"},
        {Meanwhile::Removed, false, ""},
    };
    const std::string dest = m_dir / "carrier.jpg";
    for (bool namedOnly : {false, true}) {
        AtomicFile::UseNamedTemporariesOnly(namedOnly);
        for (const Case& c : cases) {
            SCOPED_TRACE(static_cast<int>(c.meanwhile) + (namedOnly ? 10 : 0));
            WriteText(dest, "opened");
            struct stat opened {};
            ASSERT_EQ(::stat(dest.c_str(), &opened), 0);
            AtomicFile file(m_folder, "carrier.jpg");
            ASSERT_TRUE(file.Open());
            file.ReplaceOnly(opened.st_dev, opened.st_ino);
            ASSERT_TRUE(file.Write("new", 3));
            if (c.meanwhile == Meanwhile::RenamedOver) {
                WriteText(m_dir / "other", "replacement");
                ASSERT_EQ(std::rename((m_dir / "other").c_str(), dest.c_str()), 0);
            } else if (c.meanwhile == Meanwhile::Removed) {
                ASSERT_EQ(std::remove(dest.c_str()), 0);
            }
            const bool committed = file.Commit(Replace::Always, AtomicFile::Sync::No);
            const int error = errno;
            EXPECT_EQ(committed, c.committed);
            if (!committed) {
                EXPECT_EQ(error, ESTALE);
            }
            EXPECT_EQ(FileExists(dest) ? ReadText(dest) : std::string(), c.left);
            // Nothing but the destination is left in the folder.
            EXPECT_EQ(EntriesIn(m_dir.Path()), c.left.empty() ? 0u : 1u);
        }
    }
}
