// SPDX-License-Identifier: GPL-2.0-or-later
// Folders that disappear between opening a carrier and saving it: the destination's
// folder, the carrier's own folder, and the engine's working folder.
#include "RobustnessSupport.h"

#include "engine/BindImage.h"

#include <filesystem>

namespace lumora::test {
namespace {

class VanishingFolderTest : public RobustnessTest {
protected:
    void SetUp() override {
        std::filesystem::create_directory(Path("in"));
        std::string made = MakeCarrier("made.gif", "text", {MakeFile("a.bin", 5000)});
        m_carrier = Path("in/carrier.gif");
        std::filesystem::rename(made, m_carrier);
        m_original = ReadFile(m_carrier);
        m_engine.SetPassword(Password(std::string(kPassword)));
        ASSERT_EQ(m_engine.OpenCarrier(m_carrier, OPEN_UNPACK), 1);
        ASSERT_EQ(m_engine.Message(), std::optional<std::string>("text"));
        m_engine.SetMessage("changed");
    }

    std::string m_carrier;
    std::vector<uint8_t> m_original;
    CBindImage m_engine;
};

TEST_F(VanishingFolderTest, TheDestinationFolderIsRemovedBeforeTheSave) {
    std::filesystem::create_directory(Path("out"));
    std::filesystem::remove(Path("out"));
    EXPECT_EQ(m_engine.SaveCarrier(Path("out/new.gif")), 0);
    EXPECT_EQ(std::tuple(m_engine.LastStatus().reason, m_engine.LastStatus().subject,
                         m_engine.LastStatus().error),
              std::tuple(Reason::WriteFailed, Path("out/new.gif"), ENOENT));
    EXPECT_FALSE(FileExists(Path("out")));
    EXPECT_EQ(ReadFile(m_carrier), m_original);
}

TEST_F(VanishingFolderTest, TheCarriersFolderIsRemovedBeforeAnInPlaceSave) {
    std::filesystem::remove_all(Path("in"));
    EXPECT_EQ(m_engine.SaveCarrier(m_carrier), 0);
    EXPECT_EQ(std::pair(m_engine.LastStatus().reason, m_engine.LastStatus().subject),
              std::pair(Reason::WriteFailed, m_carrier));
    EXPECT_FALSE(FileExists(Path("in")));
}

TEST_F(VanishingFolderTest, TheWorkingFolderIsRemovedBeforeTheSave) {
    std::filesystem::remove_all(m_engine.WorkDir());
    EXPECT_EQ(m_engine.SaveCarrier(m_carrier), 0);
    // The deciphered payload the kept files are copied from went with the folder.
    EXPECT_EQ(m_engine.LastStatus().reason, Reason::Damaged);
    EXPECT_EQ(ReadFile(m_carrier), m_original);
    EXPECT_EQ(FolderEntries(Path("in")), std::vector<std::string>{"carrier.gif"});
    std::string dest;
    EXPECT_EQ(m_engine.ExtractHiddenFile(0, dest), 0);
}

} // namespace
} // namespace lumora::test
