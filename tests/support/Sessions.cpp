// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/Sessions.h"

namespace lumora::test {

std::unique_ptr<OpenedCarrier> OpenAt(const std::string& path) {
    std::unique_ptr<OpenedCarrier> opened;
    return OpenedCarrier::Open(path, opened).Ok() ? std::move(opened) : nullptr;
}

Status UnlockAt(const std::string& path, const std::string& password,
                std::unique_ptr<UnlockedCarrier>& unlocked, ProofTiming timing, bool fromCarrier) {
    unlocked.reset();
    std::unique_ptr<OpenedCarrier> opened;
    if (Status status = OpenedCarrier::Open(path, opened); !status.Ok())
        return status;
    opened->SetReadFromCarrier(fromCarrier);
    return OpenedCarrier::Unlock(opened, Password(password), unlocked, timing);
}

} // namespace lumora::test
