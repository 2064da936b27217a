// SPDX-License-Identifier: GPL-2.0-or-later
#include "AppTestSupport.h"
#include "MetafileSamples.h"

#include "app/NameFilters.h"
#include "app/PictureLoader.h"
#include "app/TfrmMain.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace lumora;
using lumora::test::AppTestEnvironment;

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    test::WriteFile(path.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// Qt reads GIF but cannot write it; ImageMagick's convert makes the sample when present.
QString WriteGifWithImageMagick(const QString& path) {
    QProcess convert;
    convert.start(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("48x32"),
                                              QStringLiteral("xc:teal"), path});
    if (!convert.waitForFinished(30000) || convert.exitCode() != 0)
        return QString();
    return path;
}

bool IsReddish(QColor c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

} // namespace

class PictureLoaderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppTestEnvironment> m_env;

private slots:
    void init() { m_env = std::make_unique<AppTestEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void qtFormatsDecodeByExtension_data() {
        QTest::addColumn<QString>("suffix");
        for (const char* suffix : {"bmp", "png", "jpg", "jpeg", "gif", "ico", "tif", "webp"})
            QTest::newRow(suffix) << QString::fromLatin1(suffix);
    }
    void qtFormatsDecodeByExtension() {
        QFETCH(QString, suffix);
        const QString path = suffix == QLatin1String("gif")
                                 ? WriteGifWithImageMagick(m_env->PathOf("sample.gif"))
                                 : m_env->WritePicture(QStringLiteral("sample.") + suffix, 48, 32);
        if (path.isEmpty())
            QSKIP("no writer for this format here, so there is no sample");
        const QImage picture = LoadPicture(path);
        QCOMPARE(picture.size(), QSize(48, 32));
    }

    void metafilesAreDrawn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("wmf") << "drawing.wmf" << test::SampleWmf(Qt::red);
        QTest::newRow("emf") << "drawing.emf" << test::SampleEmf(Qt::red);
    }
    void metafilesAreDrawn() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = m_env->PathOf(name);
        WriteBytes(path, bytes);
        const QImage picture = LoadPicture(path);
        QVERIFY(!picture.isNull());
        // 200 x 100 units; converters may add a pixel of border.
        QVERIFY2(qAbs(picture.width() - 200) <= 2 && qAbs(picture.height() - 100) <= 2,
                 qPrintable(QStringLiteral("%1 x %2").arg(picture.width()).arg(picture.height())));
        QVERIFY(IsReddish(picture.pixelColor(picture.width() / 2, picture.height() / 2)));
    }

    void damagedMetafilesAreSurvived() {
        const QByteArray wmf = test::SampleWmf(Qt::red);
        QByteArray longRecord = wmf;
        longRecord.replace(40, 4, "\xff\xff\xff\x7f");
        const QByteArray samples[] = {QByteArray(), QByteArray(4096, '\x5a'),
                                      wmf.left(40), wmf.left(wmf.size() - 9),
                                      longRecord,   test::SampleEmf(Qt::red).left(120)};
        for (int i = 0; i < int(std::size(samples)); ++i) {
            const QByteArray& bytes = samples[i];
            for (const char* name : {"damaged.wmf", "damaged.emf"}) {
                const QString path = m_env->PathOf(QLatin1String(name));
                WriteBytes(path, bytes);
                const QImage picture = LoadPicture(path);
                if (i < 2) // nothing like a metafile
                    QVERIFY(picture.isNull());
                QVERIFY(picture.width() <= 4096 && picture.height() <= 4096);
            }
        }
    }

    void decoderFollowsTheExtension() {
        // PNG bytes under names without a decoder, and non-picture bytes under a picture name.
        const QString png = m_env->WritePicture(QStringLiteral("real.png"), 20, 20);
        for (const char* name : {"copy.pcx", "copy.ani", "copy"}) {
            const QString path = m_env->PathOf(QLatin1String(name));
            QVERIFY(QFile::copy(png, path));
            QVERIFY2(LoadPicture(path).isNull(), name);
        }
        const QString text = m_env->PathOf(QStringLiteral("notes.gif"));
        WriteBytes(text, "just some text, not a picture");
        QVERIFY(LoadPicture(text).isNull());
        QVERIFY(LoadPicture(m_env->PathOf(QStringLiteral("missing.png"))).isNull());
    }

    void pictureDialogOffersTheFiltersAndAPreview() {
        SetDialogs(nullptr); // the Qt dialogs
        InstallDialogPreviews();
        const QString picture = m_env->WritePicture(QStringLiteral("shown.png"), 300, 150);
        QStringList offered;
        QString selected;
        QPixmap preview;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            offered = dialog->nameFilters();
            selected = dialog->selectedNameFilter();
            dialog->setDirectory(QString::fromStdString(m_env->Folder()));
            emit dialog->currentChanged(picture);
            if (auto* pane = dialog->findChild<QWidget*>(QStringLiteral("picturePreview"))) {
                const auto labels = pane->findChildren<QLabel*>();
                if (!labels.isEmpty())
                    preview = labels.first()->pixmap();
            }
            dialog->reject();
        });
        const QStringList filters = ToQtNameFilters(TfrmMain::kPictureFilter);
        QVERIFY(Dialogs().OpenPicture(nullptr, filters, QString()).isEmpty());
        QCOMPARE(offered, filters);
        // The dialog lists the descriptions as written, without the added pattern lists.
        QCOMPARE(selected, TfrmMain::kPictureFilter.section(u'|', 0, 0));
        QVERIFY(!preview.isNull());
        QVERIFY(preview.width() <= 200 && preview.height() <= 200);
        QCOMPARE(preview.width(), 2 * preview.height());
    }
};

QTEST_MAIN(PictureLoaderTest)
#include "PictureLoaderTest.moc"
