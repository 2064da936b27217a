// SPDX-License-Identifier: GPL-2.0-or-later
// The failure and progress report of one engine object's operations: why the last failing
// operation failed, and the observer that hears of each step and may stop it. The engine
// and the payload archive it hands work to fail and report through the same one.
#pragma once

#include "engine/Outcome.h"
#include "engine/StreamFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lumora {

class WorkDirs;

class OperationReport {
public:
    // work: the engine's working folder, whose absence every failure reports instead.
    explicit OperationReport(const WorkDirs& work) : m_work(work) {}
    OperationReport(const OperationReport&) = delete;
    OperationReport& operator=(const OperationReport&) = delete;

    // The start of an outermost operation: nothing failed, nothing cancelled.
    void Begin();
    // Records why the operation failed and returns 0. A cancellation stays a
    // cancellation; without a working folder the failure is NoWorkFolder.
    int Fail(Status status);
    int Fail(Reason reason, const std::string& subject = {}, int error = 0) {
        return Fail(Status::Fail(reason, subject, error));
    }
    // ReadFailed, or WriteFailed (DiskFull), of path with an errno value; 0.
    int FailRead(const std::string& path, int error);
    int FailWrite(const std::string& path, int error);
    // FailRead of source or FailWrite of target for a failed copy; 0 for a cancelled one.
    int FailCopy(const CopyResult& copy, const std::string& source, const std::string& target);

    void SetObserver(CProgressObserver* observer) { m_observer = observer; }
    // Tells the observer; false (and the failure Cancelled) when it asks to stop.
    bool Report(ProgressStep step, int64_t done, int64_t total);
    // A callback for the layers below that reports base + their bytes of total for step;
    // empty without an observer.
    std::function<bool(uint64_t)> Progress(ProgressStep step, int64_t total, int64_t base = 0);
    bool Cancelled() const { return m_cancelled; }
    const Status& LastStatus() const { return m_lastStatus; }

private:
    const WorkDirs& m_work;
    Status m_lastStatus;
    CProgressObserver* m_observer = nullptr;
    bool m_cancelled = false;
    std::optional<ProgressStep> m_reportedStep;
    int64_t m_reportedBytes = 0;
};

} // namespace lumora
