// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard's word on the file chosen as the cover of a new carrier, with the reasons
// lumora-cli gives. A file that is no picture, or an empty one, is refused: swapped files
// would put a secret in clear at the front of a carrier. One that already holds data after
// its picture, or a drawing in a text format that data behind it would break, is taken
// only when the user agrees. One that cannot be read is left to the save, which names the
// failure.
#pragma once

#include "engine/Outcome.h"
#include "workflow/ReasonTexts.h"

#include <QString>
#include <string>

class QWidget;

namespace lumora {

// Take: a fit cover; TakeAsItIs: the user agreed to one that is not, so the save must not
// check it again; Refuse: told to the user, who chooses again.
enum class CoverVerdict { Take, TakeAsItIs, Refuse };

// What the cover check finds in the file at path (OpenedCarrier::CheckCover), a drawing in
// a text format named PictureWouldBreak; Ok also when the file cannot be opened.
[[nodiscard]] Status CoverStatus(const std::string& path);

// Checks the cover at path and asks or tells the user what is wrong with it.
CoverVerdict AskAboutCover(QWidget* owner, const QString& path, const MessageLookup& message);

} // namespace lumora
