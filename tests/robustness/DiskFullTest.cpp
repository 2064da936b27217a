// SPDX-License-Identifier: GPL-2.0-or-later
// A disk that fills up during a save, simulated by a file-size limit (RLIMIT_FSIZE, which
// holds for root too) in a child process with SIGXFSZ ignored, so writes fail with EFBIG.
#include "RobustnessSupport.h"

#include "engine/BindImage.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace lumora::test {
namespace {

constexpr int kSaveFailedCleanly = 0;
constexpr int kSaveSucceeded = 1;
constexpr int kNoReason = 2;

void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
        bytes, bytes
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// The re-save sequence with a new message of the old one's length (so the new carrier has
// the old one's size), under a file-size limit, in a child.
int ResaveLimited(const std::string& carrier, const std::string& dest, rlim_t limit) {
    return RunInChild([&] {
        CBindImage engine;
        engine.SetPassword(Password(std::string(kPassword)));
        if (engine.OpenCarrier(carrier, OPEN_UNPACK) != 1)
            return kNoReason;
        engine.ClearMessage();
        engine.SetMessage("the new message");
        FileSlot slot;
        std::vector<int> kept;
        for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k))
            kept.push_back(k);
        engine.DropAllFiles();
        for (int k : kept) {
            if (engine.SetSlotState(k, SLOT_STORED) != 1)
                return kNoReason;
        }
        LimitFileSize(limit);
        if (engine.SaveCarrier(dest) == 1)
            return kSaveSucceeded;
        return engine.LastStatus().Outcome() == Outcome::WriteFailed ? kSaveFailedCleanly
                                                                     : kNoReason;
    });
}

class DiskFullTest : public RobustnessTest {
protected:
    void SetUp() override {
        m_carrier = MakeCarrier("carrier.gif", "the old message", {MakeFile("data.bin", 200000)});
        m_original = ReadFile(m_carrier);
        CBindImage probe(m_carrier);
        ASSERT_EQ(probe.LoadTrailer(), 1);
        m_imageLength = probe.Trailer().imageLength;
        m_payloadLength = probe.Trailer().payloadLength;
    }

    // Limits that stop the save in the image part, while the payload archive is built,
    // in the payload, in the trailer and at its very last byte.
    std::vector<rlim_t> Limits() const {
        rlim_t carrier = static_cast<rlim_t>(m_imageLength + m_payloadLength);
        return {500, static_cast<rlim_t>(m_payloadLength / 2), carrier - 1000, carrier + 30,
                carrier + 59};
    }

    // Only the carrier and its picture and data file: no temporary file beside them.
    void ExpectFolderClean() {
        EXPECT_EQ(
            FolderEntries(m_dir.Path()),
            (std::vector<std::string>{"cache", "carrier.gif", "data.bin", "picture-carrier.gif"}));
        EXPECT_TRUE(CacheEntries().empty());
    }

    std::string m_carrier;
    std::vector<uint8_t> m_original;
    int64_t m_imageLength = 0;
    int64_t m_payloadLength = 0;
};

TEST_F(DiskFullTest, SaveToANewFileFailsAndLeavesNothing) {
    std::string dest = Path("new.gif");
    for (rlim_t limit : Limits()) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        EXPECT_EQ(ResaveLimited(m_carrier, dest, limit), kSaveFailedCleanly);
        EXPECT_FALSE(FileExists(dest));
        EXPECT_EQ(ReadFile(m_carrier), m_original);
        ExpectFolderClean();
    }
}

TEST_F(DiskFullTest, SaveInPlaceFailsAndKeepsTheCarrier) {
    for (rlim_t limit : Limits()) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        EXPECT_EQ(ResaveLimited(m_carrier, m_carrier, limit), kSaveFailedCleanly);
        EXPECT_EQ(ReadFile(m_carrier), m_original);
        ExpectFolderClean();
    }
    RevealResult revealed = Reveal(m_carrier);
    EXPECT_EQ(revealed.message, std::optional<std::string>("the old message"));
    EXPECT_EQ(revealed.extracted, 1);
}

TEST_F(DiskFullTest, TheLimitItselfLetsAWholeCarrierThrough) {
    // The same sequence with room for the whole carrier succeeds, so the failures above
    // come from the limit and not from the sequence.
    rlim_t room = static_cast<rlim_t>(m_imageLength + m_payloadLength + 60 + 4096);
    ASSERT_EQ(ResaveLimited(m_carrier, m_carrier, room), kSaveSucceeded);
    EXPECT_EQ(Reveal(m_carrier).message, std::optional<std::string>("the new message"));
    ExpectFolderClean();
}

} // namespace
} // namespace lumora::test
