// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/CarrierWriter.h"

#include "engine/BindImage.h"

namespace lumora {

int WriteCarrier(CBindImage& engine, const CarrierContent& content,
                 const std::string& destination) {
    engine.SetPassword(content.password);
    // A failure here shows up below: without an image part the save cannot succeed.
    engine.OpenCarrier(content.source, OPEN_UNPACK);
    engine.ClearMessage();
    if (!content.message.empty() && !engine.SetMessage(content.message))
        return 0;
    engine.DropAllFiles();
    for (int slot : content.keptSlots) {
        // A kept row must name a hidden file of the source; anything else would be lost.
        if (slot < 0 || slot >= kSlotCount || engine.Slot(slot).state != SLOT_DROPPED ||
            !engine.SetSlotState(slot, SLOT_STORED))
            return 0;
    }
    // Dropped slots are freed first, so only the 100 slots limit what can be added.
    engine.ClearSlots(SLOT_DROPPED);
    for (const std::string& path : content.addedFiles) {
        if (engine.AddFileSlot(path, SLOT_ADDED, -1, 0) < 0)
            return 0;
    }
    return engine.SaveCarrier(destination);
}

} // namespace lumora
