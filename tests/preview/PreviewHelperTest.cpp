// SPDX-License-Identifier: GPL-2.0-or-later
// The preview helper seen from the program: a bounded preview for every format, pictures
// too large to decode whole, a helper that crashes, hangs, tries what its sandbox forbids
// or answers out of protocol, and files that are no pictures at all.
#include "../app/MetafileSamples.h"
#include "platform/ByteOrder.h"
#include "preview/PreviewClient.h"
#include "qtadapters/PictureLoader.h"
#include "support/ByteWriter.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace lumora;
using namespace lumora::preview;

namespace {

const QSize kOwnSize(96, 64);

void WriteBytes(const QString& path, const QByteArray& bytes) {
    test::WriteFile(path.toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// A red picture of kOwnSize (metafiles: 200 x 100) in the format of `suffix`; empty when
// nothing here writes that format.
QString WriteSample(const test::TempDir& dir, const QString& suffix) {
    const QString path = QString::fromStdString(dir / ("sample." + suffix.toStdString()));
    if (suffix == QLatin1String("wmf"))
        WriteBytes(path, test::SampleWmf(Qt::red, "Lumora"));
    else if (suffix == QLatin1String("emf"))
        WriteBytes(path, test::SampleEmf(Qt::red));
    else if (suffix == QLatin1String("gif")) // Qt reads GIF but cannot write it
        QProcess::execute(
            QStringLiteral("convert"),
            {QStringLiteral("-size"), QStringLiteral("96x64"), QStringLiteral("xc:red"), path});
    else {
        QImage image(kOwnSize, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(path);
    }
    return QFile::exists(path) ? path : QString();
}

bool IsReddish(QColor c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

QByteArray Bytes(const test::ByteWriter& w) {
    return QByteArray(reinterpret_cast<const char*>(w.bytes.data()), qsizetype(w.bytes.size()));
}

void Append32(QByteArray& out, quint32 value) {
    out.append(Bytes(test::ByteWriter().Be32(value)));
}

// A PNG chunk: length, type, data, CRC of type and data.
void AppendChunk(QByteArray& png, const char* type, const QByteArray& data) {
    Append32(png, quint32(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    png.append(typed);
    Append32(png, quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                uInt(typed.size()))));
}

// A greyscale PNG of width x height at 1 bit per pixel, all black: small on disk however
// large it claims to be. With `complete` unset the image data holds a single row.
QByteArray BlackPng(quint32 width, quint32 height, bool complete) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    Append32(header, width);
    Append32(header, height);
    header.append("\x01\x00\x00\x00\x00", 5); // 1 bit, greyscale, deflate, no interlace
    AppendChunk(png, "IHDR", header);
    const QByteArray rows(int((complete ? height : 1) * (1 + (width + 7) / 8)), '\0');
    uLongf packedSize = compressBound(uLong(rows.size()));
    QByteArray packed(int(packedSize), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()), 9);
    packed.truncate(int(packedSize));
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", QByteArray());
    return png;
}

// A BMP header of 24 bits per pixel that claims width x height, with no pixels after it.
QByteArray ClaimingBmp(qint32 width, qint32 height) {
    test::ByteWriter bmp;
    bmp.Text("BM").Le32(54 + 16).Le32(0).Le32(54);
    bmp.Le32(40).Le32(quint32(width)).Le32(quint32(height)).Le16(1).Le16(24);
    bmp.Le32(0).Le32(0).Le32(2835).Le32(2835).Le32(0).Le32(0).Fill(16, 0x7f);
    return Bytes(bmp);
}

void PutLe32(QByteArray& bytes, int offset, quint32 value) {
    StoreLittleEndian(reinterpret_cast<uint8_t*>(bytes.data()) + offset, value);
}

// The sample EMF with `characters` UTF-16 units of description at `offset`, the header
// record grown by `extra` bytes of description text.
QByteArray EmfWithDescription(quint32 characters, quint32 offset, int extra = 0) {
    QByteArray emf = test::SampleEmf(Qt::red);
    emf.insert(88, QByteArray(extra, 'A'));
    PutLe32(emf, 4, quint32(88 + extra));
    PutLe32(emf, 48, quint32(emf.size()));
    PutLe32(emf, 60, characters);
    PutLe32(emf, 64, offset);
    return emf;
}

HelperReply RunOn(const QString& helper, const QString& path, QSize bound, int timeoutMs = 5000) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    ::fstat(fd, &info);
    RequestHeader request;
    request.format = QFileInfo(path).suffix().toStdString();
    request.maxWidth = uint32_t(bound.width());
    request.maxHeight = uint32_t(bound.height());
    request.byteCount = uint64_t(info.st_size);
    HelperReply reply = RunPreviewHelper(helper.toStdString(), fd, request, timeoutMs);
    ::close(fd);
    return reply;
}

// A stand-in helper: a shell script that reads the request and prints `answer` (printf
// escapes) in reply.
QString WriteFakeHelper(const test::TempDir& dir, const QString& answer) {
    const std::string path = dir / "fake-helper";
    test::WriteText(path, "#!/bin/sh\ncat >/dev/null\nprintf '" + answer.toStdString() + "'\n");
    ::chmod(path.c_str(), 0755);
    return QString::fromStdString(path);
}

} // namespace

Q_DECLARE_METATYPE(lumora::preview::HelperOutcome)

class PreviewHelperTest : public QObject {
    Q_OBJECT

    test::TempDir m_dir;
    const QString m_faulty = QStringLiteral(LUMORA_FAULTY_PREVIEW_HELPER);

private slots:
    void init() { SetPreviewHelperOverride(m_faulty.toStdString()); }
    void cleanup() {
        qunsetenv("LUMORA_PREVIEW_FAULT");
        SetPreviewHelperOverride(std::string());
    }

    void everyFormatGivesAPreviewWithinTheBound_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QSize>("bound");
        QTest::addColumn<QSize>("preview");
        for (const char* suffix : {"bmp", "ico", "gif", "png", "jpg", "webp", "tif"}) {
            const QString name = QString::fromLatin1(suffix);
            QTest::newRow(qPrintable(name + " whole")) << name << QSize(100, 100) << kOwnSize;
            QTest::newRow(qPrintable(name + " scaled")) << name << QSize(48, 48) << QSize(48, 32);
        }
        for (const char* suffix : {"wmf", "emf"}) {
            const QString name = QString::fromLatin1(suffix);
            QTest::newRow(qPrintable(name + " whole"))
                << name << QSize(300, 300) << QSize(200, 100);
            QTest::newRow(qPrintable(name + " scaled")) << name << QSize(50, 60) << QSize(50, 25);
        }
    }
    void everyFormatGivesAPreviewWithinTheBound() {
        QFETCH(QString, suffix);
        QFETCH(QSize, bound);
        QFETCH(QSize, preview);
        const QString path = WriteSample(m_dir, suffix);
        if (path.isEmpty())
            QSKIP("nothing here writes this format");
        const PicturePreview picture = LoadPreview(path, bound);
        QVERIFY(!picture.image.isNull());
        const QImage& image = picture.image;
        QVERIFY(image.width() <= bound.width() && image.height() <= bound.height());
        // Metafile converters may add a pixel of border.
        QVERIFY2(qAbs(image.width() - preview.width()) <= 1 &&
                     qAbs(image.height() - preview.height()) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(image.width()).arg(image.height())));
        const QSize own = suffix.endsWith(QLatin1String("mf")) ? QSize(200, 100) : kOwnSize;
        QVERIFY(qAbs(picture.size.width() - own.width()) <= 1 &&
                qAbs(picture.size.height() - own.height()) <= 1);
        QVERIFY(IsReddish(image.pixelColor(image.width() / 2, image.height() / 2)));
    }

    void hugePicturesAreNeverDecodedWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<HelperOutcome>("outcome");
        // Claims alone: the pixels are missing.
        QTest::newRow("png claiming 100000 x 100000")
            << "claims.png" << BlackPng(100000, 100000, false) << HelperOutcome::NoPreview;
        QTest::newRow("bmp claiming 100000 x 100000")
            << "claims.bmp" << ClaimingBmp(100000, 100000) << HelperOutcome::NoPreview;
        // Complete, but 12000 x 12000 pixels are 550 MiB at 32 bits, above the decoders'
        // allocation limit, and PNG cannot be decoded at a smaller size.
        QTest::newRow("complete png of 12000 x 12000")
            << "complete.png" << BlackPng(12000, 12000, true) << HelperOutcome::NoPreview;
        // 9000 x 9000 pixels are 309 MiB, but JPEG is decoded at an eighth of the size.
        const QString jpeg = QString::fromStdString(m_dir / "huge.jpg");
        QProcess::execute(
            QStringLiteral("convert"),
            {QStringLiteral("-size"), QStringLiteral("9000x9000"), QStringLiteral("xc:red"), jpeg});
        QFile written(jpeg);
        written.open(QIODevice::ReadOnly);
        QTest::newRow("complete jpeg of 9000 x 9000")
            << "huge.jpg" << written.readAll() << HelperOutcome::Preview;
    }
    void hugePicturesAreNeverDecodedWhole() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(HelperOutcome, outcome);
        if (bytes.isEmpty())
            QSKIP("ImageMagick's convert is missing, so there is no sample");
        const QString path = QString::fromStdString(m_dir / name.toStdString());
        WriteBytes(path, bytes);
        const HelperReply reply = RunOn(m_faulty, path, QSize(200, 200));
        // The helper declines or sends a small preview; it is not killed by its memory
        // limit on the way.
        QCOMPARE(reply.outcome, outcome);
        QCOMPARE(reply.status, 0);
        QVERIFY(reply.header.previewWidth <= 200 && reply.header.previewHeight <= 200);
    }

    // The metafile converters trust these fields: libuemf reads an empty description up to
    // the next NUL anywhere in memory, libwmf allocates the largest record claimed.
    void metafileHeadersThatLieGiveNoPreview_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<HelperOutcome>("outcome");
        QTest::newRow("emf with a description inside its header")
            << "told.emf" << EmfWithDescription(4, 88, 8) << HelperOutcome::Preview;
        QTest::newRow("emf description of length 0")
            << "empty.emf" << EmfWithDescription(0, 80) << HelperOutcome::NoPreview;
        QByteArray bigRecord = test::SampleWmf(Qt::red);
        PutLe32(bigRecord, 22 + 12, 0x7FFFFFFF);
        QTest::newRow("wmf claiming a record of 4 GiB")
            << "big.wmf" << bigRecord << HelperOutcome::NoPreview;
    }
    void metafileHeadersThatLieGiveNoPreview() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(HelperOutcome, outcome);
        const QString path = QString::fromStdString(m_dir / name.toStdString());
        WriteBytes(path, bytes);
        const HelperReply reply = RunOn(m_faulty, path, QSize(200, 200));
        QCOMPARE(reply.outcome, outcome);
        QCOMPARE(reply.status, 0);
    }

    void misbehavingHelpersEndWithoutAPreview_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<HelperOutcome>("outcome");
        QTest::addColumn<int>("status");
        QTest::newRow("none") << "" << HelperOutcome::Preview << 0;
        QTest::newRow("crash") << "crash" << HelperOutcome::Ended << 128 + SIGABRT;
        QTest::newRow("hang") << "hang" << HelperOutcome::TimedOut << 128 + SIGKILL;
        // Forbidden calls kill the helper on the spot.
        for (const char* call : {"socket", "exec", "fork", "signal-parent", "ptrace"})
            QTest::newRow(call) << call << HelperOutcome::Ended << 128 + SIGSYS;
        // Calls that libraries may try and live without fail with EPERM.
        QTest::newRow("open for writing")
            << "write-open:" + QString::fromStdString(m_dir / "written") << HelperOutcome::Ended
            << 100 + EPERM;
        QTest::newRow("executable memory") << "exec-map" << HelperOutcome::Ended << 100 + EPERM;
        // Fonts are opened read-only as they are needed.
        QTest::newRow("open for reading")
            << "read-open:" + QString::fromStdString(m_dir / "sample.png") << HelperOutcome::Ended
            << 100;
        QTest::newRow("not dumpable, limited") << "hardening" << HelperOutcome::Ended << 100;
    }
    void misbehavingHelpersEndWithoutAPreview() {
        QFETCH(QString, fault);
        QFETCH(HelperOutcome, outcome);
        QFETCH(int, status);
        const QString path = WriteSample(m_dir, QStringLiteral("png"));
        qputenv("LUMORA_PREVIEW_FAULT", fault.toUtf8());
        constexpr int kTimeoutMs = 1500;
        QElapsedTimer clock;
        clock.start();
        const HelperReply reply = RunOn(m_faulty, path, QSize(100, 100), kTimeoutMs);
        QCOMPARE(reply.outcome, outcome);
        QCOMPARE(reply.status, status);
        QVERIFY(clock.elapsed() < kTimeoutMs + 2000);
        QVERIFY(!QFile::exists(QString::fromStdString(m_dir / "written")));
        // The program's view of it: a preview, or none.
        QCOMPARE(LoadPreview(path, QSize(100, 100), kTimeoutMs).image.isNull(),
                 outcome != HelperOutcome::Preview);
    }

    void theShippedHelperHasNoFaults() {
        const QString path = WriteSample(m_dir, QStringLiteral("png"));
        qputenv("LUMORA_PREVIEW_FAULT", "crash");
        const HelperReply reply =
            RunOn(QStringLiteral(LUMORA_PREVIEW_HELPER), path, QSize(100, 100));
        QCOMPARE(reply.outcome, HelperOutcome::Preview);
        QCOMPARE(reply.status, 0);
    }

    void answersOutsideTheProtocolAreRefused_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<HelperOutcome>("outcome");
        const QString header = QStringLiteral("LPRS\\0\\0\\0\\0\\2\\0\\0\\0\\1\\0\\0\\0");
        QTest::newRow("silence") << "" << HelperOutcome::Ended;
        QTest::newRow("another magic")
            << "LPRX" + QStringLiteral("\\0").repeated(20) << HelperOutcome::BadReply;
        QTest::newRow("unknown status")
            << "LPRS\\7\\0\\0\\0" + QStringLiteral("\\0").repeated(16) << HelperOutcome::BadReply;
        QTest::newRow("no preview, with sizes")
            << "LPRS\\1\\0\\0\\0\\2\\0\\0\\0" + QStringLiteral("\\0").repeated(12)
            << HelperOutcome::BadReply;
        QTest::newRow("larger than asked")
            << header + "\\377\\0\\0\\0\\1\\0\\0\\0" << HelperOutcome::BadReply;
        QTest::newRow("pixels cut short")
            << header + "\\2\\0\\0\\0\\1\\0\\0\\0\\1\\2\\3\\4" << HelperOutcome::BadReply;
        QTest::newRow("two pixels")
            << header + "\\2\\0\\0\\0\\1\\0\\0\\0\\377\\0\\0\\377\\0\\377\\0\\377"
            << HelperOutcome::Preview;
    }
    void answersOutsideTheProtocolAreRefused() {
        QFETCH(QString, answer);
        QFETCH(HelperOutcome, outcome);
        const QString path = WriteSample(m_dir, QStringLiteral("png"));
        const QString fake = WriteFakeHelper(m_dir, answer);
        const HelperReply reply = RunOn(fake, path, QSize(100, 100));
        QCOMPARE(reply.outcome, outcome);
        SetPreviewHelperOverride(fake.toStdString());
        const PicturePreview picture = LoadPreview(path, QSize(100, 100));
        QCOMPARE(picture.image.isNull(), outcome != HelperOutcome::Preview);
        if (outcome == HelperOutcome::Preview) {
            // The pixels as sent, words in the machine's byte order (little-endian here).
            QCOMPARE(picture.size, QSize(2, 1));
            QCOMPARE(picture.image.size(), QSize(2, 1));
            QCOMPARE(picture.image.pixel(0, 0), qRgba(0, 0, 255, 255));
            QCOMPARE(picture.image.pixel(1, 0), qRgba(0, 255, 0, 255));
        }
    }

    void requestsOutsideTheProtocolAreRefused_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<int>("extraBytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("as written") << 0 << QByteArray("LPRQ") << 0 << true;
        QTest::newRow("another magic") << 0 << QByteArray("LPRS") << 0 << false;
        QTest::newRow("upper-case format") << 4 << QByteArray("PNG") << 0 << false;
        QTest::newRow("no format") << 4 << QByteArray(3, '\0') << 0 << false;
        QTest::newRow("text after the format") << 10 << QByteArray("x") << 0 << false;
        QTest::newRow("width 0") << 20 << QByteArray(4, '\0') << 0 << false;
        QTest::newRow("width 4097") << 20 << QByteArray("\x01\x10\0\0", 4) << 0 << false;
        QTest::newRow("count beyond the limit") << 31 << QByteArray("\x08", 1) << 0 << false;
        QTest::newRow("fewer bytes than announced") << 0 << QByteArray("LPRQ") << -1 << false;
        QTest::newRow("more bytes than announced") << 0 << QByteArray("LPRQ") << 1 << false;
    }
    void requestsOutsideTheProtocolAreRefused() {
        QFETCH(int, offset);
        QFETCH(QByteArray, replacement);
        QFETCH(int, extraBytes);
        QFETCH(bool, accepted);
        RequestHeader header{"png", 64, 64, 5};
        std::vector<uint8_t> message = EncodeRequestHeader(header);
        QCOMPARE(message.size(), kRequestHeaderSize);
        message.resize(message.size() + size_t(5 + extraBytes), 'x');
        std::copy(replacement.begin(), replacement.end(), message.begin() + offset);
        const std::optional<Request> request = DecodeRequest(message.data(), message.size());
        QCOMPARE(request.has_value(), accepted);
        if (accepted) {
            QCOMPARE(request->header.format, std::string("png"));
            QCOMPARE(request->bytes.size(), size_t(5));
        }
    }

    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("fifo") << "waiting.png";
        QTest::newRow("device") << "zero.png";
        QTest::newRow("folder") << "folder.png";
        QTest::newRow("missing") << "missing.png";
    }
    void onlyRegularFilesAreRead() {
        QFETCH(QString, name);
        const std::string path = m_dir / name.toStdString();
        if (name == QLatin1String("waiting.png"))
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        else if (name == QLatin1String("zero.png"))
            QCOMPARE(::symlink("/dev/zero", path.c_str()), 0);
        else if (name == QLatin1String("folder.png"))
            QCOMPARE(::mkdir(path.c_str(), 0700), 0);
        QVERIFY(LoadPreview(QString::fromStdString(path), QSize(100, 100)).image.isNull());
    }
};

QTEST_MAIN(PreviewHelperTest)
#include "PreviewHelperTest.moc"
