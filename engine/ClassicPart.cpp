// SPDX-License-Identifier: GPL-2.0-or-later
// The classic format in a carrier session: the trailer's check record and the payload's
// signature prove the key, the entries the rest of the password (engine/PasswordProof.h).
#include "archive/Unzipper.h"
#include "engine/CarrierCore.h"
#include "engine/FormatPart.h"

namespace lumora {
namespace {

inline constexpr size_t kClassicKeyPasswordBytes = 32;

class Classic final : public FormatPart {
public:
    CarrierFormat Format() const override { return CarrierFormat::Classic; }

    Status Unlock(CarrierCore& core, Password password, ProofTiming timing,
                  const SealedKey*) override {
        if (!core.HoldsClassicData())
            return Status::Fail(Reason::NoData, core.path);
        CBindImage& engine = *core.engine;
        if (engine.VerifyPassword(password) != 1)
            return Status::Fail(Reason::WrongPassword);
        // The key is made of the password up to its 32nd byte or a NUL.
        core.proof.SetProvedWithoutEntries(password.Size() <= kClassicKeyPasswordBytes &&
                                           !password.HasNul());
        engine.SetPassword(std::move(password));
        Status status = engine.UnpackPayload() == 1 ? Prove(core, timing) : core.EngineStatus();
        if (status.Ok())
            status = core.LoadEntries();
        if (!status.Ok())
            engine.SetPassword(std::nullopt);
        return status;
    }

    int Write(CBindImage& engine, FILE* out, const SealedKey*) override {
        return engine.WriteCarrier(out);
    }

    // The engine has read the new trailer, which says all there is.
    Status TakeUp(CarrierCore&, const std::string&, const SealedKey*) override {
        return Status::Success();
    }

    CarrierTrailer Summary(const CarrierCore& core) const override {
        return core.engine->Trailer();
    }

private:
    static Status Prove(CarrierCore& core, ProofTiming timing) {
        CUnzipper archive;
        if (Status opened = core.OpenPayload(archive); !opened.Ok())
            return opened;
        return core.proof.Prove(archive, core.engine->MessageEntryIndex(), timing,
                                [&core](int64_t done, int64_t total) {
                                    return core.Report(ProgressStep::Checking, done, total);
                                });
    }
};

} // namespace

std::unique_ptr<FormatPart> ClassicPart() {
    return std::make_unique<Classic>();
}

} // namespace lumora
