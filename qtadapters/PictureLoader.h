// SPDX-License-Identifier: GPL-2.0-or-later
// Previews of picture files, decoded by the sandboxed helper lumora-preview and never in
// the program: the program reads the file and copies back the pixels of a preview no
// larger than it asked for. The decoder is chosen by the file's extension: Qt's image
// readers for bitmaps, icons, GIF, PNG, JPEG, TIFF, WebP and the other formats Qt can read;
// libwmf and libemf2svg for WMF and EMF. A file of another kind (".pcx", ".ani"), a damaged
// one, one whose picture is larger than the helper takes, anything but a regular file, or a
// helper that fails, crashes or does not answer in time gives no preview.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>

namespace lumora {

// The size a preview is kept within when the caller names none.
inline constexpr QSize kDefaultPreviewBound(1024, 1024);
// How long a preview may take, the helper's start included.
inline constexpr int kPreviewTimeoutMs = 5000;

struct PicturePreview {
    QImage image; // at most the bound asked for; null for no preview
    QSize size;   // the picture's own size, as its decoder sees it
};

// Tells how many bytes from the start of the open file `fd` are its picture, reading with
// pread only (the offset must stay at 0). Only those go to the helper, and only they count
// against the helper's limit: hidden data after a picture is neither sent nor counted.
using PicturePartFinder = std::function<uint64_t(int fd)>;

// The picture at `path`, scaled down to fit within `bound` with its proportions kept.
// Waits at most `timeoutMs` for the helper. Without `part`, the whole file is the picture.
[[nodiscard]] PicturePreview LoadPreview(const QString& path, QSize bound,
                                         int timeoutMs = kPreviewTimeoutMs,
                                         const PicturePartFinder& part = {});

// The picture at `path` within kDefaultPreviewBound; a null image for none.
[[nodiscard]] QImage LoadPicture(const QString& path);

// Lets the open-picture dialog's preview pane show pictures through LoadPreview.
void InstallDialogPreviews(PicturePartFinder part = {});

} // namespace lumora
