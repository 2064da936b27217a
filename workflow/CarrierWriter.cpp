// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/CarrierWriter.h"

#include "engine/BindImage.h"

namespace lumora {

int WriteCarrier(CBindImage& engine, const CarrierContent& content,
                 const std::string& destination) {
    engine.SetPassword(content.password ? std::optional(Password(*content.password))
                                        : std::nullopt);
    // A failure here shows up below: without an image part the save cannot succeed.
    engine.OpenCarrier(content.source, OPEN_UNPACK);
    if (!engine.ReplaceContent(content.message, content.keptSlots, content.addedFiles))
        return 0;
    return engine.SaveCarrier(destination);
}

} // namespace lumora
