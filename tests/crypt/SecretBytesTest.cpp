// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SecretBytes.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(Password, TakeWipesTheCallersCopyAndKeepsEveryByte) {
    for (std::string text : {std::string(), std::string("ab\0cd", 5), std::string(5000, 'x')}) {
        const std::string expected = text;
        Password password = Password::Take(text);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(password.View(), expected);
        EXPECT_EQ(password.HasNul(), expected.find('\0') != std::string::npos);
    }
}

TEST(Password, MovingLeavesOneOwnerAndComparesByContent) {
    Password first("secret");
    Password second = std::move(first);
    EXPECT_TRUE(first.Empty());
    EXPECT_EQ(second.View(), "secret");
    EXPECT_TRUE(second == Password("secret"));
    EXPECT_FALSE(second == Password("secreT"));
    EXPECT_FALSE(second == Password("secret2"));
    EXPECT_TRUE(Password() == Password(""));
}

} // namespace
} // namespace lumora
