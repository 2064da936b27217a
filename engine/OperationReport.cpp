// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/OperationReport.h"

#include "engine/WorkDirs.h"

#include <algorithm>

namespace lumora {
namespace {

// How often the observer hears of a running step, at least.
constexpr int64_t kReportInterval = 1 << 20;

} // namespace

void OperationReport::Begin() {
    m_lastStatus = Status::Success();
    m_cancelled = false;
    m_reportedStep.reset();
}

int OperationReport::Fail(Status status) {
    if (!m_cancelled)
        m_lastStatus = m_work.Error().empty() ? std::move(status)
                                              : Status::Fail(Reason::NoWorkFolder, m_work.Error());
    return 0;
}

int OperationReport::FailRead(const std::string& path, int error) {
    return Fail(Reason::ReadFailed, path, error);
}

int OperationReport::FailWrite(const std::string& path, int error) {
    return Fail(Status::WriteFailure(path, error));
}

int OperationReport::FailCopy(const CopyResult& copy, const std::string& source,
                              const std::string& target) {
    if (copy.status == CopyStatus::ReadFailed)
        return FailRead(source, copy.error);
    if (copy.status == CopyStatus::WriteFailed)
        return FailWrite(target, copy.error);
    return Fail(Reason::Cancelled);
}

bool OperationReport::Report(ProgressStep step, int64_t done, int64_t total) {
    if (m_observer == nullptr)
        return true;
    // The layers below report every few hundred bytes; the observer hears of each step's
    // start and end and of every further megabyte.
    const bool newStep = m_reportedStep != step;
    if (!newStep && done < total && done - m_reportedBytes < kReportInterval)
        return true;
    m_reportedStep = step;
    m_reportedBytes = done;
    if (m_observer->OnProgress(step, done, total))
        return true;
    m_cancelled = true;
    m_lastStatus = Status::Fail(Reason::Cancelled);
    return false;
}

std::function<bool(uint64_t)> OperationReport::Progress(ProgressStep step, int64_t total,
                                                        int64_t base) {
    if (m_observer == nullptr)
        return {};
    return [this, step, total, base](uint64_t done) {
        return Report(step, std::min(base + static_cast<int64_t>(done), total), total);
    };
}

} // namespace lumora
