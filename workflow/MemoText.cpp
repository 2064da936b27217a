// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/MemoText.h"

namespace lumora {

std::string ToStoredMessage(const QString& memoText) {
    QString text = memoText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

QString FromStoredMessage(const std::string& stored) {
    QString text = QString::fromStdString(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace lumora
