// SPDX-License-Identifier: GPL-2.0-or-later
// What each command says, by its exit status, for carriers and passwords that used to be
// misread: near-miss and NUL passwords, all-zero check records, damage, a busy carrier.
#include "support/CliTest.h"

#include "engine/BindImage.h"
#include "platform/FileLock.h"
#include "support/NearMissPassword.h"
#include "support/ReferenceCarriers.h"

#include <filesystem>

using namespace lumora;
using namespace lumora::test;

namespace {

class CliOutcome : public CliTest {
protected:
    // A carrier written by the engine alone under a password the programs would refuse.
    std::string CarrierUnder(const std::string& name, const std::string& password) {
        CBindImage engine;
        engine.SetPassword(Password(password));
        EXPECT_EQ(engine.OpenCarrier(ReferenceFile("base.png"), OPEN_INSPECT), 0); // no trailer
        EXPECT_EQ(engine.ReplaceContent(std::string("m"), {}, {MakeFile(name + ".txt", "x")}), 1);
        EXPECT_EQ(engine.SaveCarrier(At(name)), 1) << ReasonName(engine.LastStatus().reason);
        return At(name);
    }
};

TEST_F(CliOutcome, EveryCommandTellsAWrongPasswordAndChangesNothing) {
    const std::string& longPassword = ReferenceCarrierNamed("long-password.jpg").password;
    std::filesystem::copy_file(ReferenceFile("long-password.jpg"), At("long.jpg"));
    std::filesystem::copy_file(ReferenceFile("zero-check-record.png"), At("zero.png"));
    struct Case {
        std::string carrier;
        std::string password;
        int status;
    };
    // Only reading its one file whole tells this password from the right one.
    const std::string oneFile =
        HideInto("one.png", {MakeFile("one.bin", std::string(200000, 'z'))}, longPassword);
    const std::string nearMiss = NearMissPassword(oneFile, longPassword);
    ASSERT_FALSE(nearMiss.empty());
    const Case cases[] = {
        {At("zero.png"), "wrong", 3},
        {oneFile, nearMiss, 3},
        {At("long.jpg"), longPassword.substr(0, 32), 3},
        {At("long.jpg"), longPassword.substr(0, 32) + "xxxxxx", 3},
        {CarrierUnder("nul.png", std::string("ab\0cd", 5)), "ab", 3},
        {At("long.jpg"), longPassword, 0},
        {ReferenceFile("base.png"), "pw", 4},
    };
    const std::string added = MakeFile("new.txt", "new");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.carrier + " / " + c.password);
        const auto before = ReadFile(c.carrier);
        for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
                 {"list", c.carrier},
                 {"reveal", c.carrier, "-d", At("out"), "--force", "-v"},
                 {"verify", c.carrier},
                 {"edit", c.carrier, "--add", added},
                 {"edit", c.carrier, "-m", "x"}}) {
            SCOPED_TRACE(command[0]);
            const CliResult result = Run(command, c.password);
            EXPECT_EQ(result.status, c.status) << result.err;
            if (c.status != 0) {
                EXPECT_EQ(ReadFile(c.carrier), before);
                EXPECT_EQ(result.err.find("unlocked"), std::string::npos) << result.err;
            }
        }
    }
    EXPECT_FALSE(std::filesystem::exists(At("out/one.bin")));
}

TEST_F(CliOutcome, DamageBusyAndLossHaveTheirOwnStatus) {
    const std::string carrier = HideInto("c.png", {"-m", "hello", MakeFile("f.txt", "f")});
    auto bytes = ReadFile(carrier);
    bytes[bytes.size() - 60 - 20] ^= 0x55;
    WriteFile(At("damaged.png"), bytes);
    EXPECT_EQ(Run({"verify", At("damaged.png")}).status, 1);

    FileLock other;
    ASSERT_EQ(other.Lock(carrier), LockStatus::Locked);
    const CliResult busy = Run({"edit", carrier, "-m", "x"});
    EXPECT_EQ(busy.status, 5) << busy.err;
    EXPECT_NE(busy.err.find("another Lumora process"), std::string::npos) << busy.err;
    other.Release();

    EXPECT_EQ(Run({"edit", carrier, "--add", MakeFile("back\\slash.txt", "b")}).status, 1);
    // A message file that never ends is refused once it passes the limit, not read forever.
    const CliResult endless =
        Run({"hide", ReferenceFile("base.png"), "-o", At("z.png"), "--message-file", "/dev/zero"});
    EXPECT_EQ(endless.status, 1);
    EXPECT_NE(endless.err.find("too large"), std::string::npos) << endless.err;

    WriteFile(At("nul-password"), {'a', 0, 'b', '\n'});
    const CliResult refused = Run({"hide", ReferenceFile("base.png"), "-o", At("nul.png"),
                                   "--password-file", At("nul-password")},
                                  std::nullopt);
    EXPECT_EQ(refused.status, 1);
    EXPECT_FALSE(FileExists(At("nul.png")));
}

} // namespace
