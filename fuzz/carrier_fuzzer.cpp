// SPDX-License-Identifier: GPL-2.0-or-later
// Opens arbitrary bytes as a carrier the way the reveal view does: trailer, password
// check, payload, image part, the listed files and each of them extracted.
#include "engine/BindImage.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>

using namespace lumora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::WriteInput("carrier.bin", data, size);
    {
        CBindImage engine;
        // Whether a password fits, the payload unpacks or a file extracts does not matter
        // here: any input may give either answer, only never a crash.
        if (engine.OpenCarrier(path, OPEN_INSPECT) == 1 && engine.HasValidTrailer()) {
            static_cast<void>(engine.VerifyPassword(Password(fuzz::kPassword)));
            static_cast<void>(engine.VerifyPassword(Password()));
            engine.SetPassword(Password(fuzz::kPassword));
            static_cast<void>(engine.UnpackPayload());
            if (engine.SplitImagePart() != 1)
                std::abort(); // an open carrier always has an image part
            FileSlot slot;
            for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
                std::string dest;
                static_cast<void>(engine.ExtractHiddenFile(k, dest));
            }
        }
    }
    {
        // The hide sequence reads a source the same way before it cuts the image part.
        CBindImage engine;
        engine.SetPassword(Password(fuzz::kPassword));
        if (engine.OpenCarrier(path, OPEN_UNPACK) != 1)
            std::abort(); // a readable file always opens
    }
    fuzz::RequireEmptyCache();
    return 0;
}
