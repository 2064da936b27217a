// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/MemoText.h"

#include "engine/MessageForm.h"

namespace lumora {

std::string ToStoredMessage(const QString& memoText) {
    return ToStoredForm(memoText.toStdString());
}

QString FromStoredMessage(const std::string& stored) {
    return QString::fromStdString(FromStoredForm(ShowableText(stored)));
}

} // namespace lumora
