// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/ThrownStatus.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace lumora {
namespace {

Status WithError(Reason failed, std::string path, int error) {
    return failed == Reason::WriteFailed ? Status::WriteFailure(std::move(path), error)
                                         : Status::Fail(failed, std::move(path), error);
}

} // namespace

Status StatusOfThrown(const std::exception_ptr& thrown, Reason failed) {
    if (!thrown)
        return Status::Fail(failed);
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return Status::Fail(Reason::NoMemory);
    } catch (const std::filesystem::filesystem_error& error) {
        return WithError(failed, error.path1().string(), error.code().value());
    } catch (const std::system_error& error) {
        return WithError(failed, std::string(), error.code().value());
    } catch (...) {
        return Status::Fail(failed);
    }
}

} // namespace lumora
