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
    if (m_stretch) {
        // Scaled once per size with area averaging, which a painter's transform lacks.
        if (m_scaled.size() != size())
            m_scaled = m_picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(QPoint(0, 0), m_scaled);
    } else {
        painter.drawImage(QPoint(0, 0), m_picture);
    }
}

} // namespace lumora
