// SPDX-License-Identifier: GPL-2.0-or-later
// Windows metafiles (WMF through libwmf, EMF through libemf2svg) converted to SVG, which
// the preview draws with QtSvg. An empty result means the bytes could not be converted.
#pragma once

#include <QByteArray>

namespace lumora {

QByteArray WmfToSvg(const QByteArray& wmf);
QByteArray EmfToSvg(const QByteArray& emf);

} // namespace lumora
