// SPDX-License-Identifier: GPL-2.0-or-later
// The message's stored form, in one place for both programs: carriers hold it with CR LF
// line breaks, the programs show and take it with LF. Text from other writers need not be
// UTF-8 (the format only knows an 8-bit code page), so it is shown through a fallback.
#pragma once

#include <string>
#include <string_view>

namespace lumora {

// Every LF that does not already follow a CR becomes CR LF.
std::string ToStoredForm(std::string_view text);

// Every CR LF becomes LF; a lone CR stays.
std::string FromStoredForm(std::string_view stored);

// A message can be stored when it holds no NUL byte: the stored entry ends at the first.
bool IsStorableMessage(std::string_view text);

bool IsValidUtf8(std::string_view text);

// text itself when it is valid UTF-8; otherwise read as Windows-1252 (the code page such
// carriers are most often written in) and given as UTF-8, so it can be shown. Showing it
// does not change what is stored.
std::string ShowableText(std::string_view text);

} // namespace lumora
