// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard's password strength: a bar of four levels by the time an attacker needs
// to guess the password against the chosen format's key (zxcvbn's estimate, crypt/
// PasswordStrength.h), that time in words, and for the classic format a hint towards
// sealed or woven when the password is weak there.
#pragma once

#include "engine/SealedCarrier.h"
#include "workflow/IPanelHost.h"

class QGridLayout;
class QLabel;
class QProgressBar;
class QWidget;

namespace lumora {

class StrengthMeter {
public:
    // Puts the meter's controls on page, into grid from row on: the caption and the bar
    // in columns 0 and 1, under the password fields, and the lines below across the grid.
    StrengthMeter(QWidget* page, IPanelHost& host, QGridLayout* grid, int row);

    // Shows the strength of `typed` for `format`; an empty password shows nothing.
    void Show(const QString& typed, CarrierFormat format);

private:
    IPanelHost& m_host;
    QLabel* lblStrength = nullptr;
    QProgressBar* pbStrength = nullptr;
    QLabel* lblGuessTime = nullptr;
    QLabel* lblStrengthHint = nullptr;
};

} // namespace lumora
