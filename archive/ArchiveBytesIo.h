// SPDX-License-Identifier: GPL-2.0-or-later
// minizip's file functions over ArchiveBytes: unzOpen2_64 with an ArchiveBytes* as its
// path opens a reader with a position of its own, whose small reads come from a window of
// the bytes around it.
#pragma once

#include "archive/ArchiveBytes.h"

#include <minizip/ioapi.h>

namespace lumora {

zlib_filefunc64_def ArchiveBytesFunctions();

} // namespace lumora
