// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/StrengthMeter.h"

#include "crypt/PasswordStrength.h"
#include "qtadapters/MessageFormat.h"
#include "workflow/FrameWidgets.h"
#include "workflow/PasswordPageTexts.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <string_view>

namespace lumora {
namespace {

constexpr int kLevels = 4;
constexpr double kDay = 86400;

// The bar's colour at each level, from red to green.
const char* const kLevelColours[kLevels] = {"#c0392b", "#e67e22", "#b7a300", "#27ae60"};
const char* const kLevelKeys[kLevels] = {"strStrength1", "strStrength2", "strStrength3",
                                         "strStrength4"};

// The bar's level for a password that takes `seconds` to guess: 1 under a day, 2 under a
// year (weak, as lumora-cli warns), 3 under a hundred years, else 4.
int StrengthLevel(double seconds) {
    if (seconds < kDay)
        return 1;
    if (seconds < kWeakBelowSeconds)
        return 2;
    return seconds < 100 * kWeakBelowSeconds ? 3 : 4;
}

} // namespace

StrengthMeter::StrengthMeter(QWidget* page, IPanelHost& host, QGridLayout* grid, int row)
    : m_host(host) {
    lblStrength = NewLabel(page, "lblStrength", QStringLiteral("Strength:"));
    lblStrength->setWordWrap(false);
    pbStrength = Named(new QProgressBar(page), "pbStrength");
    pbStrength->setRange(0, kLevels);
    pbStrength->setValue(0);
    pbStrength->setMaximumHeight(18);
    // Filled as the password is typed; empty, the language file leaves them alone.
    lblGuessTime = NewLabel(page, "lblGuessTime", QString());
    lblStrengthHint = NewLabel(page, "lblStrengthHint", QString());
    grid->addWidget(lblStrength, row, 0);
    grid->addWidget(pbStrength, row, 1);
    // The lines take the whole width, so that they wrap as little as they can.
    grid->addWidget(lblGuessTime, row + 1, 0, 1, grid->columnCount());
    grid->addWidget(lblStrengthHint, row + 2, 0, 1, grid->columnCount());
    Show(QString(), CarrierFormat::Classic);
}

void StrengthMeter::Show(const QString& typed, CarrierFormat format) {
    if (typed.isEmpty()) {
        pbStrength->setValue(0);
        pbStrength->setFormat(QString());
        lblGuessTime->hide();
        lblStrengthHint->hide();
        return;
    }
    QByteArray bytes = typed.toUtf8();
    const Password password(std::string_view(bytes.constData(), bytes.size()));
    bytes.fill('\0');
    const PasswordEstimate estimate = EstimatePassword(password);
    const bool classic = format == CarrierFormat::Classic;
    const double seconds =
        estimate.SecondsToGuess(classic ? kClassicGuessesPerSecond : kArgon2GuessesPerSecond);
    const int level = StrengthLevel(seconds);
    const auto message = m_host.MessageSource();
    pbStrength->setValue(level);
    pbStrength->setFormat(message(kLevelKeys[level - 1]));
    pbStrength->setStyleSheet(
        QStringLiteral("QProgressBar { text-align: center; } QProgressBar::chunk { "
                       "background-color: %1; }")
            .arg(QLatin1String(kLevelColours[level - 1])));
    lblGuessTime->setText(FormatMessage(message("strGuessTime"), GuessTimeText(seconds, message)));
    lblGuessTime->show();
    const bool weakForClassic = classic && estimate.IsWeak(kClassicGuessesPerSecond);
    if (weakForClassic)
        lblStrengthHint->setText(FormatMessage(
            message("strWeakForClassic"),
            GuessTimeText(estimate.SecondsToGuess(kArgon2GuessesPerSecond), message)));
    lblStrengthHint->setVisible(weakForClassic);
}

} // namespace lumora
