// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ProgramFolders.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

// Restores the program folder and the XDG variables after each test.
class ProgramFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        m_home = home != nullptr ? home : "";
    }
    void TearDown() override {
        SetProgramFolderOverride("");
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        ::setenv("HOME", m_home.c_str(), 1);
    }

private:
    std::string m_home;
};

} // namespace

TEST_F(ProgramFoldersTest, TheExecutableFolderIsWhereThisTestRuns) {
    std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::exists(exe));
    EXPECT_EQ(ExecutableFolder(), std::filesystem::path(exe).parent_path().string());
}

TEST_F(ProgramFoldersTest, AWritableProgramFolderHoldsTheCacheAndTheConfiguration) {
    TempDir dir;
    SetProgramFolderOverride(dir.Path());
    EXPECT_EQ(CacheRoot(), dir.Path() + "/cache");
    EXPECT_EQ(ConfigFolder(), dir.Path());
}

TEST_F(ProgramFoldersTest, AnUnusableProgramFolderFallsBackToTheXdgFolders) {
    TempDir dir;
    WriteText(dir / "file", "x");
    // A path below a regular file can never be written, also not by root.
    SetProgramFolderOverride(dir / "file/sub");
    ::setenv("XDG_CACHE_HOME", (dir / "cache-home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config-home").c_str(), 1);
    EXPECT_EQ(CacheRoot(), dir / "cache-home/lumora");
    EXPECT_EQ(ConfigFolder(), dir / "config-home/lumora");

    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(CacheRoot(), dir / ".cache/lumora");
}

TEST_F(ProgramFoldersTest, AnInstalledCopyUsesTheXdgFoldersEvenWhenItsFolderIsWritable) {
    TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "share/lumora");
    SetProgramFolderOverride(dir / "bin");
    ::setenv("XDG_CACHE_HOME", (dir / "cache-home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config-home").c_str(), 1);
    EXPECT_EQ(CacheRoot(), dir / "cache-home/lumora");
    EXPECT_EQ(ConfigFolder(), dir / "config-home/lumora");
}

TEST_F(ProgramFoldersTest, FoldersOthersCouldPrepareAreNeverUsed) {
    TempDir dir;
    // A portable folder that others may write in holds neither cache nor configuration.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    SetProgramFolderOverride(dir.Path());
    ::unsetenv("HOME");
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string cache = CacheRoot();
    const std::string config = ConfigFolder();
    for (const std::string& folder : {cache, config}) {
        SCOPED_TRACE(folder);
        EXPECT_NE(folder.rfind(dir.Path(), 0), 0u);
        EXPECT_NE(folder.rfind("/tmp/.", 0), 0u) << "a shared fallback anyone can create first";
    }
    // Without $HOME the home folder comes from the password database.
    const struct passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(config, std::string(entry->pw_dir) + "/.config/lumora");
}
