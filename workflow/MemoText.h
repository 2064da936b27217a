// SPDX-License-Identifier: GPL-2.0-or-later
// The engine keeps the message in its stored form, with CR LF line breaks, so carriers are
// the same on every platform; the memos show it with plain LF breaks.
#pragma once

#include <QString>
#include <string>

namespace lumora {

// Memo text to the stored form: UTF-8 with CR LF line breaks.
std::string ToStoredMessage(const QString& memoText);

// Stored form to memo text: CR LF becomes LF.
QString FromStoredMessage(const std::string& stored);

} // namespace lumora
