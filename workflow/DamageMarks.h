// SPDX-License-Identifier: GPL-2.0-or-later
// How the frame shows hidden content known to be damaged: the rows of damaged entries in a
// file list carry a warning icon and a tooltip that says so, and the questions and
// messages name what is damaged. The carrier learns of damage at unlocking and from every
// read, so the marks follow each read.
#pragma once

#include "workflow/FrameCarrier.h"
#include "workflow/ReasonTexts.h"

#include <QString>
#include <QStringList>
#include <vector>

class QTreeWidget;

namespace lumora {

// The frame's messages about damage with their built-in texts, as "key=text" lines.
const QStringList& DamageMessages();

// Marks the rows of list whose hidden entry the carrier knows to be damaged, and clears
// the mark of every other row.
void MarkDamagedRows(QTreeWidget* list, const FrameCarrier& carrier, const MessageLookup& message);

// Whether the row shows an entry marked as damaged.
bool RowMarkedDamaged(const QTreeWidget* list, int row);

// The shown names of the damaged content a save of request would carry: the kept entries
// known to be damaged, the one the failed save names (status.subject) and a kept damaged
// message (strDamagedMessageName), each once, in that order.
QStringList DamagedKeptNames(const UnlockedCarrier& carrier, const SaveRequest& request,
                             const Status& status, const MessageLookup& message);

// The shown names of those of entries the carrier now knows to be damaged.
QStringList DamagedEntryNames(const FrameCarrier& carrier, const std::vector<int>& entries);

} // namespace lumora
