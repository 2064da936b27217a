// SPDX-License-Identifier: GPL-2.0-or-later
// Small metafiles written byte by byte: a 200 x 100 picture filled with one colour.
#pragma once

#include <QByteArray>
#include <QColor>

namespace lumora::test {

// A placeable WMF of 200 x 100 units at 96 units per inch; with `text` written on it in
// the default font when given.
QByteArray SampleWmf(QColor fill, const QByteArray& text = QByteArray());
// An EMF whose bounds are 200 x 100 device pixels.
QByteArray SampleEmf(QColor fill);

} // namespace lumora::test
