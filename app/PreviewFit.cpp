// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PreviewFit.h"

#include <algorithm>
#include <cstdint>

namespace lumora {
namespace {

int CentredOffset(int outer, int inner) {
    const int offset = (outer - inner) / 2;
    return offset == 0 ? 1 : offset;
}

} // namespace

PreviewPlacement FitPreview(QSize picture, QSize frame) {
    const int64_t w = picture.width();
    const int64_t h = picture.height();
    const int64_t cw = frame.width();
    const int64_t ch = frame.height();

    QSize size = picture;
    bool stretch = false;
    if ((w > cw || h > ch) && w > 0 && h > 0) {
        // w / cw >= h / ch, compared without rounding.
        if (w * ch >= h * cw)
            size = QSize(int(cw), int(h * cw / w));
        else
            size = QSize(int(w * ch / h), int(ch));
        // A very thin picture still keeps one pixel of preview.
        size = QSize(std::max(size.width() - 4, 1), std::max(size.height() - 4, 1));
        stretch = true;
    }
    const QPoint topLeft(CentredOffset(frame.width(), size.width()),
                         CentredOffset(frame.height(), size.height()));
    return {QRect(topLeft, size), stretch};
}

} // namespace lumora
