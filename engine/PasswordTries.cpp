// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/PasswordTries.h"

#include "engine/OpenedCarrier.h"

namespace lumora {

PasswordTries::PasswordTries(const OpenedCarrier& carrier, int tries)
    : m_sealed(!carrier.HoldsClassicData()),
      m_again(m_sealed ? Reason::SealedNotOpened : Reason::WrongPassword), m_left(tries) {}

bool PasswordTries::AskAgain(const Status& unlocked) {
    --m_left;
    return CallsForAnother(unlocked) && m_left > 0;
}

} // namespace lumora
