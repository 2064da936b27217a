// SPDX-License-Identifier: GPL-2.0-or-later
// When both programs ask for a carrier's password again: only after an outcome another
// password could change, a wrong password, or for a file without classic data, sealed or
// woven data that the password does not open (which reads like no data at all, since the
// two cannot be told apart). A prompt asks up to three times in all; a password given once is tried
// once.
#pragma once

#include "engine/Outcome.h"

namespace lumora {

class OpenedCarrier;

// How many times a prompt asks for a password in all.
inline constexpr int kPromptTries = 3;

class PasswordTries {
public:
    // For the carrier as opened, with `tries` in all (kPromptTries for a prompt).
    PasswordTries(const OpenedCarrier& carrier, int tries);

    // What is asked for may be sealed data, which a wrong password cannot be told from no
    // data by: the prompts say so.
    bool ForSealedData() const { return m_sealed; }
    // Whether `unlocked` is an outcome that another password could change, not counting it
    // as a try (a password given beside a prompt).
    bool CallsForAnother(const Status& unlocked) const {
        return unlocked.reason == m_again ||
               (m_sealed && unlocked.reason == Reason::WovenNotOpened);
    }
    // Counts the try that gave `unlocked`; true when the password is to be asked for again.
    bool AskAgain(const Status& unlocked);

private:
    bool m_sealed;
    Reason m_again;
    int m_left;
};

} // namespace lumora
