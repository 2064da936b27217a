// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/EntryStatus.h"

#include <cerrno>

namespace lumora {

Status EntryStatus(EntryCheck check, const std::string& name) {
    const std::string quoted = "\"" + name + "\"";
    switch (check) {
    case EntryCheck::Ok:
        return Status::Success();
    case EntryCheck::Cancelled:
        return Status::Fail(Outcome::Cancelled, "cancelled");
    case EntryCheck::WrongPassword:
        return Status::Fail(Outcome::WrongPassword, quoted + " is not under this password", name);
    case EntryCheck::Unsupported:
        return Status::Fail(Outcome::Damaged,
                            quoted + " is stored in a way this program cannot read", name);
    case EntryCheck::WriteFailed:
        return Status::Fail(Outcome::WriteFailed, "cannot write the new archive", name, errno);
    case EntryCheck::Damaged:
        break;
    }
    return Status::Fail(Outcome::Damaged, quoted + " is damaged", name);
}

} // namespace lumora
