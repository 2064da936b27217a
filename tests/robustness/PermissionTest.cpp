// SPDX-License-Identifier: GPL-2.0-or-later
// A read-only carrier, an in-place save into a read-only folder, and missing or
// unwritable cache folders. Root may write anywhere, so the read-only folder is tried by
// a child process that drops to the unprivileged user 65534.
#include "RobustnessSupport.h"

#include "engine/BindImage.h"
#include "platform/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::test {
namespace {

constexpr uid_t kNobody = 65534;

// Re-saves carrier in place with a new message; 0 and why when that failed.
int ResaveInPlace(const std::string& carrier, Status* failure = nullptr) {
    CBindImage engine;
    engine.SetPassword(Password(std::string(kPassword)));
    int saved = engine.OpenCarrier(carrier, OPEN_UNPACK);
    engine.ClearMessage();
    engine.SetMessage("changed");
    saved = saved && engine.SaveCarrier(carrier);
    if (failure != nullptr)
        *failure = engine.LastStatus();
    return saved;
}

using PermissionTest = RobustnessTest;

TEST_F(PermissionTest, AReadOnlyCarrierOpensAndReveals) {
    std::string carrier = MakeCarrier("carrier.gif", "text", {MakeFile("a.bin", 3000)});
    ASSERT_EQ(::chmod(carrier.c_str(), 0444), 0);
    RevealResult revealed = Reveal(carrier);
    EXPECT_EQ(revealed.opened, 1);
    EXPECT_EQ(revealed.unpacked, 1);
    EXPECT_EQ(revealed.message, std::optional<std::string>("text"));
    EXPECT_EQ(revealed.extracted, 1);
}

TEST_F(PermissionTest, SavingInPlaceIntoAReadOnlyFolderFailsCleanly) {
    std::filesystem::create_directory(Path("locked"));
    std::string image = MakeFile("locked/picture.gif", 1000);
    std::string carrier = Path("locked/carrier.gif");
    {
        CBindImage engine;
        engine.SetPassword(Password(std::string(kPassword)));
        ASSERT_EQ(engine.OpenCarrier(image, OPEN_UNPACK), 1);
        engine.SetMessage("text");
        ASSERT_EQ(engine.SaveCarrier(carrier), 1);
    }
    std::vector<uint8_t> original = ReadFile(carrier);
    ASSERT_EQ(::chmod(Path("locked").c_str(), 0555), 0);

    // The child's cache must be its own: a folder the unprivileged user may write.
    std::string home = Path("nobody");
    std::filesystem::create_directory(home);
    bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(home.c_str(), kNobody, kNobody), 0);
    }
    int result = RunInChild([&] {
        if (asRoot &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            return 3;
        if (::access(Path("locked").c_str(), W_OK) == 0)
            return 4; // the folder is still writable: nothing would be tested
        SetProgramFolderOverride(home);
        Status failure;
        if (ResaveInPlace(carrier, &failure) != 0)
            return 1;
        return failure.reason == Reason::WriteFailed && failure.subject == carrier ? 0 : 2;
    });
    ::chmod(Path("locked").c_str(), 0755);
    EXPECT_EQ(result, 0) << "1: saved, 2: no reason, 3: cannot drop privileges, 4: writable";
    EXPECT_EQ(ReadFile(carrier), original);
    EXPECT_EQ(FolderEntries(Path("locked")),
              (std::vector<std::string>{"carrier.gif", "picture.gif"}));
    EXPECT_TRUE(FolderEntries(home + "/cache").empty());
}

// The program folder and XDG_CACHE_HOME are changed for one test and restored after it.
class CacheFolderTest : public RobustnessTest {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CACHE_HOME");
        m_oldXdg = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        m_carrier = MakeCarrier("carrier.gif", "text", {MakeFile("a.bin", 3000)});
        m_original = ReadFile(m_carrier);
        WriteText(Path("plain-file"), "not a folder");
        SetProgramFolderOverride(Path("plain-file/program"));
    }
    void TearDown() override {
        if (m_oldXdg)
            ::setenv("XDG_CACHE_HOME", m_oldXdg->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

    std::optional<std::string> m_oldXdg;
    std::string m_carrier;
    std::vector<uint8_t> m_original;
};

TEST_F(CacheFolderTest, AProgramFolderBelowAFileFallsBackToTheXdgCache) {
    ::setenv("XDG_CACHE_HOME", Path("xdg").c_str(), 1);
    EXPECT_EQ(CacheRoot(), Path("xdg/lumora"));
    {
        CBindImage engine;
        EXPECT_EQ(engine.WorkDir().rfind(Path("xdg/lumora/"), 0), 0u) << engine.WorkDir();
    }
    RevealResult revealed = Reveal(m_carrier);
    EXPECT_EQ(revealed.unpacked, 1);
    EXPECT_EQ(revealed.extracted, 1);
    EXPECT_EQ(ResaveInPlace(m_carrier), 1);
    EXPECT_EQ(Reveal(m_carrier).message, std::optional<std::string>("changed"));
    EXPECT_TRUE(FolderEntries(Path("xdg/lumora")).empty());
}

TEST_F(CacheFolderTest, AnUnusableCacheMakesOperationsFailWithoutDamage) {
    ::setenv("XDG_CACHE_HOME", Path("plain-file/xdg").c_str(), 1);
    RevealResult revealed = Reveal(m_carrier);
    EXPECT_EQ(revealed.opened, 1); // the trailer needs no working folder
    EXPECT_EQ(revealed.unpacked, 0);
    EXPECT_EQ(revealed.extracted, 0);

    Status failure;
    EXPECT_EQ(ResaveInPlace(m_carrier, &failure), 0);
    EXPECT_EQ(failure.reason, Reason::NoWorkFolder);
    EXPECT_EQ(ReadFile(m_carrier), m_original);

    CBindImage engine;
    engine.SetPassword(Password(std::string(kPassword)));
    EXPECT_EQ(engine.OpenCarrier(m_carrier, OPEN_UNPACK), 1); // the trailer needs no folder
    engine.SetMessage("new");
    EXPECT_EQ(engine.SaveCarrier(Path("new.gif")), 0);
    EXPECT_FALSE(FileExists(Path("new.gif")));
    std::string dest;
    EXPECT_EQ(engine.ExtractHiddenFile(0, dest), 0);
    EXPECT_EQ(ReadText(Path("plain-file")), "not a folder");
}

} // namespace
} // namespace lumora::test
