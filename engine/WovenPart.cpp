// SPDX-License-Identifier: GPL-2.0-or-later
// The woven format in a carrier session: the password's keys read the archive out of the
// picture's own elements and authenticate all of it before anything is listed; the entries
// inside are not enciphered. A save weaves into the carrier's own picture, and the part that
// wrote it reads it back under the keys it wrote with.
#include "engine/CarrierCore.h"
#include "engine/FormatPart.h"
#include "engine/WovenCarrier.h"
#include "engine/WovenStatus.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace lumora {
namespace {

// Writes the archive read out of the picture to the engine's working copy of the payload.
Status KeepArchive(const SecretBytes& archive, const std::string& path) {
    StreamFile file;
    if (!file.Create(path))
        return Status::WriteFailure(path, errno);
    const bool written =
        std::fwrite(archive.Data(), 1, archive.Size(), file.Get()) == archive.Size();
    const int error = errno;
    if (written && file.Close())
        return Status::Success();
    file.Close();
    ::unlink(path.c_str());
    return Status::WriteFailure(path, written ? errno : error);
}

class Woven final : public FormatPart {
public:
    Woven(bool overCapacity, WovenKeys* keysAhead)
        : m_overCapacity(overCapacity), m_keysAhead(keysAhead) {}

    CarrierFormat Format() const override { return CarrierFormat::Woven; }

    Status Unlock(CarrierCore& core, Password password, ProofTiming, const SealedKey*) override {
        CBindImage& engine = *core.engine;
        FILE* file = engine.CarrierFile();
        if (file == nullptr)
            return Status::Fail(Reason::NoData, core.path);
        const DescriptorSource source(::fileno(file));
        const StepReport report = [&core](ProgressStep step, int64_t done, int64_t total) {
            return core.Report(step, done, total);
        };
        // What this part wrote opens under the keys it wrote with, without a derivation.
        UnweaveResult woven = m_written.Empty() ? Unweave(source, password, report)
                                                : Unweave(source, m_written, report);
        if (Status status = UnweaveStatus(woven, core.path); !status.Ok())
            return status;
        if (Status kept = KeepArchive(woven.archive, engine.PayloadTempPath()); !kept.Ok())
            return kept;
        // The entries are not enciphered; the password stays for saves under it.
        engine.SetPassword(std::move(password));
        Status status = engine.ReadPayloadArchive() == 1 ? core.LoadEntries() : core.EngineStatus();
        if (!status.Ok()) {
            engine.SetPassword(std::nullopt);
            return status;
        }
        m_pictureLength = static_cast<int64_t>(source.Size());
        return Status::Success();
    }

    int Write(CBindImage& engine, FILE* out, const SealedKey*) override {
        // The nonces are zero, so one salt seals one content: keys made ahead serve the first
        // write alone, and a second write of this save derives its own.
        WovenKeys ahead;
        if (m_keysAhead != nullptr)
            ahead = std::move(*std::exchange(m_keysAhead, nullptr));
        return engine.WriteWovenCarrier(out, m_overCapacity, std::move(ahead), m_written);
    }

    // The read-back opened what was written; the picture is the whole file.
    Status TakeUp(CarrierCore& core, const std::string& written, const SealedKey*) override {
        FILE* file = core.engine->CarrierFile();
        if (file == nullptr)
            return Status::Fail(Reason::ReadFailed, written, EIO);
        m_pictureLength = StreamSize(file);
        return Status::Success();
    }

    CarrierTrailer Summary(const CarrierCore& core) const override {
        // The data lies inside the picture: nothing follows it.
        return CountedSummary(core, m_pictureLength, 0);
    }

private:
    bool m_overCapacity;
    WovenKeys* m_keysAhead; // borrowed until the first write takes them
    WovenKeys m_written;    // the keys of the carrier this part wrote
    int64_t m_pictureLength = 0;
};

} // namespace

std::unique_ptr<FormatPart> WovenPart(bool overCapacity, WovenKeys* keysAhead) {
    return std::make_unique<Woven>(overCapacity, keysAhead);
}

} // namespace lumora
