// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/Outcome.h"

#include <cerrno>

namespace lumora {

Status Status::WriteFailure(std::string about, int errorNumber) {
    const bool full = errorNumber == ENOSPC || errorNumber == EDQUOT;
    return Fail(full ? Reason::DiskFull : Reason::WriteFailed, std::move(about), errorNumber);
}

const char* ProgressStepName(ProgressStep step) {
    switch (step) {
    case ProgressStep::CopyingImage:
        return "Copying image";
    case ProgressStep::Packing:
        return "Packing files";
    case ProgressStep::Encrypting:
        return "Encrypting";
    case ProgressStep::Decrypting:
        return "Decrypting";
    case ProgressStep::Unpacking:
        return "Unpacking";
    case ProgressStep::Checking:
        return "Checking";
    case ProgressStep::DerivingKey:
        return "Deriving the key";
    }
    return "";
}

} // namespace lumora
