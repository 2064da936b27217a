// SPDX-License-Identifier: GPL-2.0-or-later
// Build tool: renders one SVG picture of the theme to a PNG of the picture's own size, or
// of a multiple of it for high-density screens.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s input.svg output.png [scale]\n", argv[0]);
        return 2;
    }
    const int scale = argc == 4 ? std::atoi(argv[3]) : 1;
    if (scale < 1 || scale > 4) {
        std::fprintf(stderr, "scale must be 1 to 4\n");
        return 2;
    }
    // Text in the artwork needs the font database, which needs an application object.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Build machines often lack a runtime folder; the tool needs none, so spare the log.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("QT_LOGGING_RULES", "default.warning=false");
    QGuiApplication app(argc, argv);

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not a valid SVG picture\n", argv[1]);
        return 1;
    }
    QImage image(renderer.defaultSize() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
