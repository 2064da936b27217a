// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's preview, also of a picture followed by more hidden data than the
// preview helper takes: the picture scaled once, to the screen's pixels. Run at the screen
// scales 1 and 2.
#include "AppTestSupport.h"

#include "app/PicturePanel.h"
#include "app/TfrmMain.h"
#include "engine/TrailerCodec.h"

#include <QFileInfo>
#include <QTest>

using namespace lumora;

class PreviewTest : public QObject {
    Q_OBJECT
private slots:
    void pictureIsScaledOnceAlsoBeforeHiddenData_data() {
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("nothing after it") << QByteArray();
        QTest::newRow("data past the helper's limit") << QByteArray("data");
        QTest::newRow("a carrier past the helper's limit") << QByteArray("trailer");
    }
    void pictureIsScaledOnceAlsoBeforeHiddenData() {
        QFETCH(QByteArray, after);
        test::AppTestEnvironment env;
        TfrmMain window;
        window.show();
        // Pixels that change at every step, so that any second scaling shows.
        const std::vector<uint8_t> noise = test::PseudoRandomBytes(700 * 300 * 3, 7);
        const QImage original(noise.data(), 700, 300, 700 * 3, QImage::Format_RGB888);
        const QString path = env.PathOf(QStringLiteral("noise.png"));
        QVERIFY(original.save(path));
        QFile file(path);
        const qint64 picture = file.size(), hidden = 130 << 20; // a hole on disk
        CarrierTrailer fields{};
        fields.payloadLength = static_cast<int32_t>(hidden);
        fields.imageLength = static_cast<int32_t>(picture);
        fields.version = kTrailerVersion;
        fields.magic[0] = 'V';
        fields.magic[1] = 'Z';
        const TrailerBytes trailer = EncodeTrailer(fields);
        if (!after.isEmpty()) {
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(picture + hidden) &&
                    file.seek(picture + hidden));
            if (after == "trailer")
                file.write(reinterpret_cast<const char*>(trailer.data()), qint64(trailer.size()));
            file.close();
        }

        window.ShowImage(path);
        auto* panel = window.findChild<PicturePanel*>(QStringLiteral("pnlShowImage"));
        QVERIFY(panel->isVisible());
        const qreal ratio = window.devicePixelRatioF();
        QImage once =
            original.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                .scaled(panel->size() * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        once.setDevicePixelRatio(ratio);
        QCOMPARE(panel->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 once.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
