// SPDX-License-Identifier: GPL-2.0-or-later
// A transparent panel that draws one picture, either unscaled from its top left corner
// or stretched to the panel. Stretched, the picture is scaled once, from the picture as
// given, straight to the pixels the panel covers on the screen (its size times the device
// pixel ratio), so that a high-density screen shows every pixel it has.
#pragma once

#include <QImage>
#include <QWidget>

namespace lumora {

class PicturePanel : public QWidget {
    Q_OBJECT
public:
    explicit PicturePanel(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    void ClearPicture() { SetPicture(QImage()); }
    const QImage& Picture() const { return m_picture; }

    void SetStretch(bool stretch);
    bool Stretch() const { return m_stretch; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QImage m_scaled; // the stretched picture at the device pixels it was last drawn at
    bool m_stretch = false;
};

} // namespace lumora
