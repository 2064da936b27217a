// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/WovenCarrier.h"

#include "crypt/WovenLayout.h"
#include "crypt/WovenOrder.h"
#include "engine/OrderedParities.h"
#include "engine/WovenRegions.h"
#include "picture/PictureEnd.h"
#include "weave/WovenCover.h"

#include <cerrno>
#include <memory>
#include <new>

namespace lumora {
namespace {

// The first `size` bytes of another source: a picture without what follows its end.
class PrefixSource final : public ByteSource {
public:
    PrefixSource(const ByteSource& whole, uint64_t size) : m_whole(whole), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* data, size_t size) const override {
        if (offset > m_size || size > m_size - offset) {
            errno = 0;
            return false;
        }
        return m_whole.ReadAt(offset, data, size);
    }

private:
    const ByteSource& m_whole;
    uint64_t m_size;
};

// A picture read as a cover, and the woven view of it.
struct Loaded {
    std::unique_ptr<CoverImage> cover;
    std::unique_ptr<weave::WovenCover> view;
    WovenOutcome outcome = WovenOutcome::Ok;
    CoverStatus status = CoverStatus::Ok;
    int error = 0;
};

WovenOutcome OutcomeOf(CoverStatus status) {
    switch (status) {
    case CoverStatus::Ok:
        return WovenOutcome::Ok;
    case CoverStatus::ReadFailed:
        return WovenOutcome::ReadFailed;
    case CoverStatus::WriteFailed:
        return WovenOutcome::WriteFailed;
    case CoverStatus::NoMemory:
        return WovenOutcome::NoMemory;
    default:
        return WovenOutcome::Refused;
    }
}

WovenOutcome OutcomeOf(weave::TrellisStatus status) {
    switch (status) {
    case weave::TrellisStatus::Ok:
        return WovenOutcome::Ok;
    case weave::TrellisStatus::TooManyBits:
        return WovenOutcome::OverLimit;
    case weave::TrellisStatus::NoMemory:
        return WovenOutcome::NoMemory;
    case weave::TrellisStatus::Cancelled:
        return WovenOutcome::Cancelled;
    case weave::TrellisStatus::InvalidCost:
    case weave::TrellisStatus::Unsolvable:
        break;
    }
    return WovenOutcome::NoWay;
}

WovenOutcome OutcomeOf(SealedOutcome outcome) {
    switch (outcome) {
    case SealedOutcome::Ok:
        return WovenOutcome::Ok;
    case SealedOutcome::NotOpened:
        return WovenOutcome::NotOpened;
    case SealedOutcome::NoMemory:
        return WovenOutcome::NoMemory;
    case SealedOutcome::Damaged:
        return WovenOutcome::Damaged;
    case SealedOutcome::Cancelled:
        return WovenOutcome::Cancelled;
    case SealedOutcome::ReadFailed:
        return WovenOutcome::ReadFailed;
    case SealedOutcome::WriteFailed:
        return WovenOutcome::WriteFailed;
    case SealedOutcome::TooLarge:
        break;
    }
    return WovenOutcome::OverLimit;
}

Loaded Load(const ByteSource& source) {
    Loaded loaded;
    CoverRead read = ReadCover(source);
    loaded.error = read.status == CoverStatus::ReadFailed ? errno : 0;
    loaded.status = read.status;
    if (read.status == CoverStatus::Ok)
        loaded.status = weave::WovenCover::Make(*read.cover, loaded.view);
    loaded.outcome = OutcomeOf(loaded.status);
    loaded.cover = std::move(read.cover);
    return loaded;
}

template <typename Result> Result Ended(Result result, WovenOutcome outcome) {
    result.outcome = outcome;
    return result;
}

WovenLayout LayoutOf(const weave::WovenCover& view) {
    return LayoutWoven(view.Count(), view.CeilingCount());
}

WovenSize SizeOf(const WovenLayout& layout, uint64_t ceilingCount) {
    return {layout.elements, ceilingCount, layout.capacityBytes, layout.limitBytes};
}

std::vector<uint8_t> BitsOf(const uint8_t* bytes, size_t size) {
    std::vector<uint8_t> bits(8 * size);
    UnpackWovenBits(bytes, size, bits.data());
    return bits;
}

// Progress of the coder as a step of the caller's, over all of the picture's order indices.
RegionProgress StepProgress(const StepReport& report, ProgressStep step, uint64_t total) {
    if (!report)
        return {};
    return [&report, step, total](uint64_t reached) {
        return report(step, static_cast<int64_t>(reached), static_cast<int64_t>(total));
    };
}

WovenOutcome Write(const CoverImage& cover, WovenDestination out, int& error) {
    errno = 0;
    const CoverStatus written = std::holds_alternative<FILE*>(out)
                                    ? cover.Write(std::get<FILE*>(out))
                                    : cover.Write(*std::get<std::vector<uint8_t>*>(out));
    error = written == CoverStatus::Ok ? 0 : errno;
    return written == CoverStatus::Ok ? WovenOutcome::Ok : OutcomeOf(written);
}

// Seals the archive under keys and embeds salt, header and body into loaded's cover.
WovenOutcome Embed(Loaded& loaded, const WovenLayout& layout, std::span<const uint8_t> archive,
                   const WovenKeys& keys, const WeaveOptions& options, uint64_t& changes) {
    SealedWovenHeader sealedHeader;
    std::vector<uint8_t> body;
    if (const SealedOutcome sealed = SealWovenHeader(keys, layout, archive.size(), sealedHeader);
        sealed != SealedOutcome::Ok)
        return OutcomeOf(sealed);
    if (const SealedOutcome sealed =
            SealWovenBody(keys, sealedHeader, archive.data(), archive.size(), body);
        sealed != SealedOutcome::Ok)
        return OutcomeOf(sealed);
    if (const CoverStatus costs = loaded.view->PrepareCosts(); costs != CoverStatus::Ok)
        return OutcomeOf(costs);
    const WovenOrder order(layout.elements, keys);
    OrderedParities parities;
    if (const weave::TrellisStatus gathered = parities.Gather(*loaded.view, order, {});
        gathered != weave::TrellisStatus::Ok)
        return OutcomeOf(gathered);
    const RegionProgress progress =
        StepProgress(options.report, ProgressStep::Encrypting, layout.elements);
    const struct {
        WovenRegion region;
        std::vector<uint8_t> bits;
    } parts[] = {
        {WovenSaltRegion(), BitsOf(keys.Salt().data(), keys.Salt().size())},
        {WovenHeaderRegion(), BitsOf(sealedHeader.data(), sealedHeader.size())},
        {WovenBodyRegion(layout.elements), BitsOf(body.data(), body.size())},
    };
    for (const auto& part : parts) {
        const weave::TrellisStatus embedded = EmbedRegion(
            *loaded.view, order, keys, parities, part.region, part.bits, progress, changes);
        if (embedded != weave::TrellisStatus::Ok)
            return OutcomeOf(embedded);
    }
    loaded.view->DropCosts();
    return WovenOutcome::Ok;
}

WeaveResult WeaveWith(const ByteSource& source, std::span<const uint8_t> archive,
                      const Password* password, const WovenKeys* readyKeys, WovenDestination out,
                      const WeaveOptions& options) try {
    WeaveResult result;
    result.kind = KindOf(source);
    result.contentBytes = archive.size();
    const PictureLayout picture = InspectPicture(source);
    const PrefixSource own(source, picture.HasTrailingBytes() ? picture.end.end : source.Size());
    Loaded loaded = Load(own);
    result.cover = loaded.status;
    result.error = loaded.error;
    if ((result.outcome = loaded.outcome) != WovenOutcome::Ok)
        return result;
    const WovenLayout layout = LayoutOf(*loaded.view);
    result.size = SizeOf(layout, loaded.view->CeilingCount());
    if (layout.fit != WovenFit::Fits)
        result.outcome = WovenOutcome::TooSmall;
    else if (archive.size() > layout.limitBytes)
        result.outcome = WovenOutcome::OverLimit;
    else if (archive.size() > layout.capacityBytes && !options.force)
        result.outcome = WovenOutcome::OverCapacity;
    if (result.outcome != WovenOutcome::Ok)
        return result;

    WovenKeys derived;
    if (readyKeys == nullptr) {
        if (options.report && !options.report(ProgressStep::DerivingKey, 0, 0))
            return Ended(std::move(result), WovenOutcome::Cancelled);
        if (const SealedOutcome made = NewWovenKeys(*password, derived); made != SealedOutcome::Ok)
            return Ended(std::move(result), OutcomeOf(made));
        readyKeys = &derived;
    }
    // The derivation cannot be interrupted; a cancel during it ends the work here.
    if (options.report &&
        !options.report(ProgressStep::Encrypting, 0, static_cast<int64_t>(layout.elements)))
        return Ended(std::move(result), WovenOutcome::Cancelled);
    uint64_t changes = 0;
    result.outcome = Embed(loaded, layout, archive, *readyKeys, options, changes);
    if (result.outcome == WovenOutcome::Ok)
        result.outcome = Write(*loaded.cover, out, result.error);
    result.changes = result.outcome == WovenOutcome::Ok ? changes : 0;
    if (result.outcome == WovenOutcome::Ok && options.madeKeys != nullptr && readyKeys == &derived)
        *options.madeKeys = std::move(derived);
    return result;
} catch (const std::bad_alloc&) {
    WeaveResult result;
    result.outcome = WovenOutcome::NoMemory;
    return result;
}

SealedWovenHeader PackHeader(const std::vector<uint8_t>& bits) {
    SealedWovenHeader sealed{};
    PackWovenBits(bits.data(), bits.size(), sealed.data());
    return sealed;
}

UnweaveResult UnweaveWith(const ByteSource& source, const Password* password,
                          const WovenKeys* readyKeys, const StepReport& report) try {
    UnweaveResult result;
    result.kind = KindOf(source);
    Loaded loaded = Load(source);
    result.cover = loaded.status;
    result.error = loaded.error;
    if ((result.outcome = loaded.outcome) != WovenOutcome::Ok)
        return result;
    const WovenLayout layout = LayoutOf(*loaded.view);
    if (layout.fit != WovenFit::Fits)
        return Ended(std::move(result), WovenOutcome::NotOpened);

    std::vector<uint8_t> bits;
    const weave::TrellisStatus saltRead =
        ExtractRegion(*loaded.view, WovenOrder(layout.elements), WovenSaltRegion(),
                      8 * sizeof(WovenSalt), bits, {});
    if (saltRead != weave::TrellisStatus::Ok)
        return Ended(std::move(result), OutcomeOf(saltRead));
    WovenSalt salt;
    PackWovenBits(bits.data(), bits.size(), salt.data());

    SealedWovenHeader sealedHeader{};
    weave::TrellisStatus headerRead = weave::TrellisStatus::Ok;
    const WovenHeaderReader readHeader = [&](const WovenKeys& keys, SealedWovenHeader& sealed) {
        headerRead = ExtractRegion(*loaded.view, WovenOrder(layout.elements, keys),
                                   WovenHeaderRegion(), kWovenHeaderBits, bits, {});
        if (headerRead != weave::TrellisStatus::Ok)
            return false;
        sealed = sealedHeader = PackHeader(bits);
        return true;
    };
    SealedOutcome opened = SealedOutcome::NotOpened;
    if (readyKeys == nullptr) {
        opened =
            UnlockWoven(*password, salt, layout, readHeader, result.keys, result.header,
                        [&report] { return report && !report(ProgressStep::DerivingKey, 0, 0); });
    } else if (readyKeys->Salt() == salt) {
        SealedWovenHeader sealed;
        opened = readHeader(*readyKeys, sealed)
                     ? OpenWovenHeader(*readyKeys, sealed, layout, result.header)
                     : SealedOutcome::ReadFailed;
    }
    if (opened == SealedOutcome::ReadFailed && headerRead != weave::TrellisStatus::Ok)
        return Ended(std::move(result), OutcomeOf(headerRead));
    if (opened != SealedOutcome::Ok)
        return Ended(std::move(result), OutcomeOf(opened));
    const WovenKeys& keys = readyKeys != nullptr ? *readyKeys : result.keys;

    // The body covers nearly every element: they are read in the picture's own order.
    OrderedParities parities;
    weave::TrellisStatus bodyRead =
        parities.Gather(*loaded.view, WovenOrder(layout.elements, keys),
                        StepProgress(report, ProgressStep::Decrypting, layout.elements));
    if (bodyRead == weave::TrellisStatus::Ok)
        bodyRead =
            parities.Extract(WovenBodyRegion(layout.elements),
                             static_cast<size_t>(WovenBodyBits(result.header.archiveLength)), bits);
    if (bodyRead != weave::TrellisStatus::Ok)
        return Ended(std::move(result), OutcomeOf(bodyRead));
    std::vector<uint8_t> body(bits.size() / 8);
    PackWovenBits(bits.data(), bits.size(), body.data());
    result.outcome =
        OutcomeOf(OpenWovenBody(keys, sealedHeader, body.data(), body.size(), result.archive));
    return result;
} catch (const std::bad_alloc&) {
    UnweaveResult result;
    result.outcome = WovenOutcome::NoMemory;
    return result;
}

} // namespace

WovenCapacityResult WovenCapacity(const ByteSource& source) try {
    WovenCapacityResult result;
    result.kind = KindOf(source);
    const Loaded loaded = Load(source);
    result.cover = loaded.status;
    result.error = loaded.error;
    if ((result.outcome = loaded.outcome) != WovenOutcome::Ok)
        return result;
    const WovenLayout layout = LayoutOf(*loaded.view);
    result.size = SizeOf(layout, loaded.view->CeilingCount());
    if (layout.fit != WovenFit::Fits)
        result.outcome = WovenOutcome::TooSmall;
    return result;
} catch (const std::bad_alloc&) {
    WovenCapacityResult result;
    result.outcome = WovenOutcome::NoMemory;
    return result;
}

WeaveResult Weave(const ByteSource& source, std::span<const uint8_t> archive,
                  const Password& password, WovenDestination out, const WeaveOptions& options) {
    return WeaveWith(source, archive, &password, nullptr, out, options);
}

WeaveResult Weave(const ByteSource& source, std::span<const uint8_t> archive, const WovenKeys& keys,
                  WovenDestination out, const WeaveOptions& options) {
    return WeaveWith(source, archive, nullptr, &keys, out, options);
}

UnweaveResult Unweave(const ByteSource& source, const Password& password,
                      const StepReport& report) {
    return UnweaveWith(source, &password, nullptr, report);
}

UnweaveResult Unweave(const ByteSource& source, const WovenKeys& keys, const StepReport& report) {
    return UnweaveWith(source, nullptr, &keys, report);
}

} // namespace lumora
