// SPDX-License-Identifier: GPL-2.0-or-later
// The states of a carrier session: a transition that succeeds hands the carrier, its lock
// and settings on; one that fails leaves the state it started from, to be tried again.
#include "EngineTestSupport.h"

#include "crypt/SealedKey.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "platform/FileLock.h"
#include "support/Sessions.h"

namespace lumora::test {
namespace {

struct StateCase {
    const char* name;
    CarrierFormat format;
    Reason wrong; // how the format tells a wrong password
};

void PrintTo(const StateCase& c, std::ostream* out) {
    *out << c.name;
}

class SessionStatesTest : public EngineTest, public ::testing::WithParamInterface<StateCase> {
protected:
    SessionStatesTest() { UseSealedTestFormat(true); }
    ~SessionStatesTest() override { UseSealedTestFormat(false); }

    // Hides a message into MakeImage's picture under "pw": the carrier just written, or
    // the opened picture and the reason when the hide fails.
    Status Hide(std::unique_ptr<OpenedCarrier>& picture, const Password& password,
                std::unique_ptr<UnlockedCarrier>& saved) {
        SaveRequest request;
        request.destination = Path("carrier");
        request.message = "m";
        request.newPassword = &password;
        request.format = GetParam().format;
        return OpenedCarrier::Hide(picture, request, saved);
    }
};

TEST_P(SessionStatesTest, AFailedTransitionLeavesItsStateAndASuccessfulOneHandsItOn) {
    std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage());
    ASSERT_NE(picture, nullptr);
    std::unique_ptr<UnlockedCarrier> saved;
    EXPECT_EQ(Hide(picture, Password(std::string("p\0w", 3)), saved).reason, Reason::NulInPassword);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(saved, nullptr);
    ASSERT_TRUE(Hide(picture, Password("pw"), saved).Ok());
    EXPECT_EQ(picture, nullptr);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->Path(), Path("carrier"));
    EXPECT_EQ(saved->Format(), GetParam().format);
    EXPECT_EQ(saved->Message(), std::optional<std::string>("m"));

    std::unique_ptr<OpenedCarrier> opened = OpenAt(Path("carrier"));
    ASSERT_NE(opened, nullptr);
    ASSERT_TRUE(opened->Lock().Ok());
    std::unique_ptr<UnlockedCarrier> unlocked;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(OpenedCarrier::Unlock(opened, Password("wrong"), unlocked).reason,
                  GetParam().wrong);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(unlocked, nullptr);
    }
    ASSERT_TRUE(OpenedCarrier::Unlock(opened, Password("pw"), unlocked).Ok());
    EXPECT_EQ(opened, nullptr);
    ASSERT_NE(unlocked, nullptr);
    EXPECT_EQ(unlocked->Format(), GetParam().format);
    EXPECT_TRUE(unlocked->PasswordProved());
    // The lock went with the carrier, and goes when it does.
    FileLock other;
    EXPECT_EQ(other.Lock(Path("carrier")), LockStatus::Busy);
    unlocked.reset();
    EXPECT_EQ(other.Lock(Path("carrier")), LockStatus::Locked);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SessionStatesTest,
    ::testing::Values(StateCase{"classic", CarrierFormat::Classic, Reason::WrongPassword},
                      StateCase{"sealed", CarrierFormat::Sealed, Reason::SealedNotOpened}));

} // namespace
} // namespace lumora::test
