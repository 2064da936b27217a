// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/SaveGuard.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace lumora {

Status StatusOfSaveException(const std::exception_ptr& thrown) {
    if (!thrown)
        return Status::Fail(Reason::WriteFailed);
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return Status::Fail(Reason::NoMemory);
    } catch (const std::filesystem::filesystem_error& error) {
        return Status::WriteFailure(error.path1().string(), error.code().value());
    } catch (const std::system_error& error) {
        return Status::WriteFailure(std::string(), error.code().value());
    } catch (...) {
        return Status::Fail(Reason::WriteFailed);
    }
}

} // namespace lumora
