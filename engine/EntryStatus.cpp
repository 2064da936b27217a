// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/EntryStatus.h"

#include <cerrno>

namespace lumora {

Status EntryStatus(EntryCheck check, const std::string& name) {
    switch (check) {
    case EntryCheck::Ok:
        return Status::Success();
    case EntryCheck::Cancelled:
        return Status::Fail(Reason::Cancelled);
    case EntryCheck::WrongPassword:
        return Status::Fail(Reason::EntryNotUnderPassword, name);
    case EntryCheck::Unsupported:
        return Status::Fail(Reason::EntryUnsupported, name);
    case EntryCheck::WriteFailed:
        return Status::WriteFailure(name, errno);
    case EntryCheck::Damaged:
        break;
    }
    return Status::Fail(Reason::EntryDamaged, name);
}

} // namespace lumora
