// SPDX-License-Identifier: GPL-2.0-or-later
// The end of each kind of picture whose end takes more than one walk (JPEG and PNG have
// their own walkers). Each expects a source of its kind and says Malformed otherwise.
#pragma once

#include "picture/ByteSource.h"
#include "picture/PictureEnd.h"

namespace lumora {

PictureEnd GifEnd(const ByteSource& source);
PictureEnd BmpEnd(const ByteSource& source);
PictureEnd WebPEnd(const ByteSource& source);
PictureEnd IcoEnd(const ByteSource& source);
PictureEnd WmfEnd(const ByteSource& source);
PictureEnd EmfEnd(const ByteSource& source);
PictureEnd TiffEnd(const ByteSource& source);

} // namespace lumora
