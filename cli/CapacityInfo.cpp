// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli info --capacity: how much each picture can carry woven, with no password and
// no key derivation.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/FileErrors.h"
#include "cli/PerCarrier.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalText.h"
#include "engine/WovenCarrier.h"
#include "engine/WovenStatus.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

// What a JPEG's ceiling counts, or a picture of pixels'.
const char* CountedElements(PictureKind kind) {
    return kind == PictureKind::Jpeg ? "non-zero AC coefficients" : "usable samples";
}

WovenCapacityResult CapacityOf(const CarrierInput& picture) {
    RequireReadableFile(picture.Path());
    const int fd = ::open(picture.Path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ErrorOf(Status::Fail(Reason::ReadFailed, picture.Name(), errno));
    const WovenCapacityResult result = WovenCapacity(DescriptorSource(fd));
    ::close(fd);
    return result;
}

} // namespace

int RunInfoCapacity(const Arguments& args) {
    return ForEachCarrier(args, [&](const CarrierInput& picture, bool) {
        const WovenCapacityResult capacity = CapacityOf(picture);
        ThrowIfFailed(CapacityStatus(capacity, picture.Name()), picture.Name());
        const WovenSize& size = capacity.size;
        CarrierResult result;
        result.entry = CarrierObject(picture, Code::Ok);
        result.entry.String("kind", KindName(capacity.kind))
            .Number("capacityBytes", static_cast<int64_t>(size.capacityBytes))
            .Number("limitBytes", static_cast<int64_t>(size.limitBytes))
            .Number("elements", static_cast<int64_t>(size.elements))
            .Number("countedElements", static_cast<int64_t>(size.ceilingCount));
        if (!JsonOutput()) {
            const std::string name = Shown(picture.Name(), TextKind::Name, Stream::Out);
            std::printf("%s: can carry %llu bytes woven, at most %llu with --force (%llu %s)\n",
                        name.c_str(), static_cast<unsigned long long>(size.capacityBytes),
                        static_cast<unsigned long long>(size.limitBytes),
                        static_cast<unsigned long long>(size.ceilingCount),
                        CountedElements(capacity.kind));
        }
        return result;
    });
}

} // namespace lumora::cli
