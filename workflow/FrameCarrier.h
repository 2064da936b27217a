// SPDX-License-Identifier: GPL-2.0-or-later
// The carrier the workflow frame works on, in the state it is in: the picture of a hide
// or the carrier of the reveal view, opened, then unlocked by its password or by the
// save that wrote it. Releasing it removes the working folder with the deciphered copies.
#pragma once

#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"

#include <QString>
#include <memory>
#include <string>

namespace lumora {

struct FrameCarrier {
    std::unique_ptr<OpenedCarrier> opened;     // until it is unlocked or hidden into
    std::unique_ptr<UnlockedCarrier> unlocked; // once it is

    // Opens path in place of what was held; the failure (nothing shown) when it cannot.
    [[nodiscard]] Status Open(const QString& path);
    void Release();
    // The state that holds the carrier; null when none does.
    CarrierSession* Current() const;
    void SetProgressObserver(CProgressObserver* observer);

    // Unlocks the opened carrier (OpenedCarrier::Unlock).
    [[nodiscard]] Status Unlock(Password password);
    // What the save of request refuses before anything is done, and the save itself: a
    // hide into the opened picture, or a save of the unlocked carrier.
    [[nodiscard]] Status CheckRequest(const SaveRequest& request) const;
    [[nodiscard]] Status Save(const SaveRequest& request);
    // The password a save of request writes under; null for none.
    const Password* SavePassword(const SaveRequest& request) const;
    // The unlocked carrier's entry at index; null for none.
    const HiddenEntry* Entry(int index) const;
};

// Lets the frame's carrier report to an observer for the lifetime of this object only,
// whatever state it passes into meanwhile, so that it never keeps a pointer to an
// observer that is gone.
class ObserverScope {
public:
    ObserverScope(FrameCarrier& carrier, CProgressObserver* observer) : m_carrier(carrier) {
        m_carrier.SetProgressObserver(observer);
    }
    ~ObserverScope() { m_carrier.SetProgressObserver(nullptr); }
    ObserverScope(const ObserverScope&) = delete;
    ObserverScope& operator=(const ObserverScope&) = delete;

private:
    FrameCarrier& m_carrier;
};

} // namespace lumora
