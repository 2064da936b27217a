// SPDX-License-Identifier: GPL-2.0-or-later
// The sealed format in a carrier session: the password's key opens the tail behind the
// picture and authenticates the whole archive before anything of it is listed; the
// entries inside are not enciphered.
#include "engine/CarrierCore.h"
#include "engine/FormatPart.h"

#include <cerrno>

namespace lumora {
namespace {

class Sealed final : public FormatPart {
public:
    CarrierFormat Format() const override { return CarrierFormat::Sealed; }

    Status Unlock(CarrierCore& core, Password password, ProofTiming,
                  const SealedKey* known) override {
        CBindImage& engine = *core.engine;
        FILE* file = engine.CarrierFile();
        if (file == nullptr)
            return Status::Fail(Reason::NoData, core.path);
        SealedHeader header;
        Status status = UnsealCarrier(::fileno(file), StreamSize(file), password, known,
                                      engine.PayloadTempPath(), header,
                                      [&core](ProgressStep step, int64_t done, int64_t total) {
                                          return core.Report(step, done, total);
                                      });
        if (status.subject.empty() &&
            (status.Outcome() == Outcome::NoData || status.Outcome() == Outcome::ReadFailed))
            status.subject = core.path;
        if (!status.Ok())
            return status;
        // The entries are not enciphered; the password stays for saves under it.
        engine.SetPassword(std::move(password));
        status = engine.ReadPayloadArchive() == 1 ? core.LoadEntries() : core.EngineStatus();
        if (!status.Ok()) {
            engine.SetPassword(std::nullopt);
            return status;
        }
        engine.CutImagePart(static_cast<int64_t>(header.imageLength));
        m_header = header;
        return Status::Success();
    }

    int Write(CBindImage& engine, FILE* out, const SealedKey* key) override {
        return key != nullptr ? engine.WriteSealedCarrier(out, *key) : 0;
    }

    Status TakeUp(CarrierCore& core, const std::string& written, const SealedKey* key) override {
        FILE* file = core.engine->CarrierFile();
        if (file == nullptr || key == nullptr ||
            ReadSealedTail(::fileno(file), StreamSize(file), *key, m_header) != SealedOutcome::Ok)
            return Status::Fail(Reason::ReadFailed, written, EIO);
        core.engine->CutImagePart(static_cast<int64_t>(m_header.imageLength));
        return Status::Success();
    }

    CarrierTrailer Summary(const CarrierCore& core) const override {
        return CountedSummary(core, static_cast<int64_t>(m_header.imageLength),
                              static_cast<int64_t>(m_header.payloadLength) + kSealedTailSize);
    }

private:
    SealedHeader m_header; // of the carrier unlocked or written
};

} // namespace

std::unique_ptr<FormatPart> SealedPart() {
    return std::make_unique<Sealed>();
}

} // namespace lumora
