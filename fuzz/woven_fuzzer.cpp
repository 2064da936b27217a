// SPDX-License-Identifier: GPL-2.0-or-later
// Reads arbitrary bytes as a woven carrier and, where they are a picture that can carry
// woven data, weaves a small archive into it, which must read back unchanged. Runs on the
// tests' cheap key format.
#include "crypt/WovenKeys.h"
#include "engine/WovenCarrier.h"

#include <cstdlib>

using namespace lumora;

namespace {

// Enough for the pictures a fuzzer makes, without the gigabyte a lying header may ask for.
constexpr uint64_t kMostElementBytes = uint64_t{64} << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UseWovenTestFormat(true);
    const MemorySource source({data, size});
    if (ReadCover(source, kMostElementBytes).status != CoverStatus::Ok)
        return 0;
    const WovenCapacityResult capacity = WovenCapacity(source);
    Unweave(source, Password("fuzz"));
    if (capacity.outcome != WovenOutcome::Ok)
        return 0;

    const std::vector<uint8_t> archive(size % 23, static_cast<uint8_t>(size));
    std::vector<uint8_t> woven;
    WeaveOptions options;
    options.force = true;
    const WeaveResult written = Weave(source, archive, Password("fuzz"), &woven, options);
    if (written.outcome != WovenOutcome::Ok)
        return 0;
    const UnweaveResult read = Unweave(MemorySource(woven), Password("fuzz"));
    if (read.outcome != WovenOutcome::Ok || read.archive.Size() != archive.size() ||
        !std::equal(archive.begin(), archive.end(), read.archive.Data()))
        std::abort();
    return 0;
}
