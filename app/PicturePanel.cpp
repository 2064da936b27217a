// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PicturePanel.h"

#include <QPainter>

namespace lumora {

PicturePanel::PicturePanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void PicturePanel::SetPicture(const QImage& picture) {
    m_picture = picture;
    m_scaled = QImage();
    update();
}

void PicturePanel::SetStretch(bool stretch) {
    m_stretch = stretch;
    update();
}

void PicturePanel::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (!m_stretch) {
        painter.drawImage(QPoint(0, 0), m_picture);
        return;
    }
    // The ratio of what is painted on, not of the window: a grab or a print has its own.
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1));
    // Area averaging, which a painter's transform lacks, once per size.
    if (m_scaled.size() != pixels || !qFuzzyCompare(m_scaled.devicePixelRatio(), ratio)) {
        m_scaled = m_picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(ratio);
    }
    painter.drawImage(QPoint(0, 0), m_scaled);
}

} // namespace lumora
