// SPDX-License-Identifier: GPL-2.0-or-later
// Reads arbitrary bytes as a picture: its kind, where it would end as each kind, and as a
// woven cover that is changed, written and read again, which must give back the changed
// elements and the same usable ones.
#include "picture/PictureEnd.h"
#include "weave/CoverImage.h"

#include <cstdlib>

using namespace lumora;

namespace {

// Enough for the pictures a fuzzer makes, without the gigabyte a lying header may ask for.
constexpr uint64_t kMostElementBytes = uint64_t{64} << 20;
constexpr uint64_t kChangeEvery = 37;

void CheckEnd(const PictureEnd& end, size_t size) {
    if (end.status == EndStatus::Found && end.end > size)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MemorySource source({data, size});
    CheckEnd(InspectPicture(source).end, size);
    for (int kind = 0; kind <= static_cast<int>(PictureKind::Unknown); ++kind)
        CheckEnd(FindPictureEnd(source, static_cast<PictureKind>(kind)), size);

    CoverRead read = ReadCover(source, kMostElementBytes);
    if (read.status != CoverStatus::Ok)
        return 0;
    CoverImage& cover = *read.cover;
    for (uint64_t i = 0; i < cover.ElementCount(); i += kChangeEvery) {
        const Steps steps = cover.AllowedSteps(i);
        if (steps.Any() && !cover.Change(i, steps.up ? 1 : -1))
            std::abort();
    }
    std::vector<uint8_t> written;
    if (cover.Write(written) != CoverStatus::Ok)
        return 0;
    const CoverRead again = ReadCover(MemorySource(written), kMostElementBytes);
    if (again.status != CoverStatus::Ok || again.cover->ElementCount() != cover.ElementCount() ||
        again.cover->UsableCount() != cover.UsableCount())
        std::abort();
    for (uint64_t i = 0; i < cover.ElementCount(); ++i) {
        if (again.cover->Value(i) != cover.Value(i) || again.cover->Usable(i) != cover.Usable(i))
            std::abort();
    }
    return 0;
}
