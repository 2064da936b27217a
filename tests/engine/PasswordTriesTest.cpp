// SPDX-License-Identifier: GPL-2.0-or-later
// When a program asks for a carrier's password again, and how many times.
#include "EngineTestSupport.h"

#include "engine/PasswordTries.h"
#include "support/Sessions.h"

namespace lumora::test {
namespace {

struct TriesCase {
    const char* name;
    bool classic; // a classic carrier, else a picture that only sealed data could fill
    int tries;
    std::vector<Reason> outcomes;
    std::vector<bool> askAgain; // after each outcome
};

void PrintTo(const TriesCase& c, std::ostream* out) {
    *out << c.name;
}

class PasswordTriesTest : public EngineTest, public ::testing::WithParamInterface<TriesCase> {
protected:
    std::unique_ptr<OpenedCarrier> Carrier() {
        std::unique_ptr<OpenedCarrier> picture = OpenAt(MakeImage());
        if (!GetParam().classic)
            return picture;
        const Password password("pw");
        SaveRequest request;
        request.destination = Path("carrier.bmp");
        request.message = "m";
        request.newPassword = &password;
        std::unique_ptr<UnlockedCarrier> saved;
        EXPECT_TRUE(OpenedCarrier::Hide(picture, request, saved).Ok());
        return OpenAt(request.destination);
    }
};

TEST_P(PasswordTriesTest, AsksAgainOnlyForWhatAnotherPasswordCouldChange) {
    const TriesCase& c = GetParam();
    const std::unique_ptr<OpenedCarrier> carrier = Carrier();
    ASSERT_NE(carrier, nullptr);
    ASSERT_EQ(carrier->HoldsClassicData(), c.classic);
    PasswordTries tries(*carrier, c.tries);
    EXPECT_EQ(tries.ForSealedData(), !c.classic);
    ASSERT_EQ(c.outcomes.size(), c.askAgain.size());
    for (size_t i = 0; i < c.outcomes.size(); ++i) {
        // Looking at an outcome without asking again counts no try.
        EXPECT_EQ(tries.CallsForAnother(Status::Fail(c.outcomes[i])),
                  c.outcomes[i] == (c.classic ? Reason::WrongPassword : Reason::SealedNotOpened));
        EXPECT_EQ(tries.AskAgain(Status::Fail(c.outcomes[i])), c.askAgain[i]) << "try " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rule, PasswordTriesTest,
    ::testing::Values(
        TriesCase{"a prompt asks three times",
                  true,
                  kPromptTries,
                  {Reason::WrongPassword, Reason::WrongPassword, Reason::WrongPassword},
                  {true, true, false}},
        TriesCase{"a given password is tried once", true, 1, {Reason::WrongPassword}, {false}},
        TriesCase{"the right one ends it",
                  true,
                  kPromptTries,
                  {Reason::WrongPassword, Reason::None},
                  {true, false}},
        TriesCase{"damage is no wrong password", true, kPromptTries, {Reason::Damaged}, {false}},
        TriesCase{
            "a cancel is the user's answer", true, kPromptTries, {Reason::Cancelled}, {false}},
        TriesCase{
            "classic data is never sealed", true, kPromptTries, {Reason::SealedNotOpened}, {false}},
        TriesCase{"sealed data that does not open",
                  false,
                  kPromptTries,
                  {Reason::SealedNotOpened, Reason::SealedNotOpened, Reason::SealedNotOpened},
                  {true, true, false}},
        TriesCase{
            "no memory for the key", false, kPromptTries, {Reason::NoMemoryForKey}, {false}}));

} // namespace
} // namespace lumora::test
