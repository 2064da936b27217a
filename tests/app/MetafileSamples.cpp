// SPDX-License-Identifier: GPL-2.0-or-later
#include "MetafileSamples.h"

#include <QtEndian>
#include <algorithm>
#include <initializer_list>

namespace lumora::test {
namespace {

class LeWriter {
public:
    void U16(unsigned value) {
        const quint16 le = qToLittleEndian<quint16>(quint16(value));
        m_bytes.append(reinterpret_cast<const char*>(&le), 2);
    }
    void U32(quint32 value) {
        const quint32 le = qToLittleEndian<quint32>(value);
        m_bytes.append(reinterpret_cast<const char*>(&le), 4);
    }
    void Words(std::initializer_list<unsigned> values) {
        for (unsigned v : values)
            U16(v);
    }
    void Dwords(std::initializer_list<quint32> values) {
        for (quint32 v : values)
            U32(v);
    }
    void PutU32(int offset, quint32 value) {
        const quint32 le = qToLittleEndian<quint32>(value);
        m_bytes.replace(offset, 4, reinterpret_cast<const char*>(&le), 4);
    }
    QByteArray& Bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

// COLORREF: red in the low byte.
quint32 ColorRef(QColor c) {
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

// A WMF record: its size in 16-bit words, then the function number and parameters.
void WmfRecord(LeWriter& w, std::initializer_list<unsigned> functionAndParameters) {
    w.U32(quint32(2 + functionAndParameters.size()));
    w.Words(functionAndParameters);
}

} // namespace

QByteArray SampleWmf(QColor fill, const QByteArray& text) {
    LeWriter w;
    // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    w.U32(0x9AC6CDD7);
    w.Words({0, 0, 0, 200, 100, 96});
    w.U32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint16(uchar(w.Bytes()[i]) | uchar(w.Bytes()[i + 1]) << 8);
    w.U16(checksum);

    const quint32 colour = ColorRef(fill);
    LeWriter records;
    WmfRecord(records, {0x020B, 0, 0});     // SetWindowOrg(y, x)
    WmfRecord(records, {0x020C, 100, 200}); // SetWindowExt(height, width)
    WmfRecord(records, {0x02FC, 0, colour & 0xFFFF, colour >> 16, 0}); // solid brush
    WmfRecord(records, {0x012D, 0});                                   // SelectObject(0)
    WmfRecord(records, {0x041B, 100, 200, 0, 0}); // Rectangle(bottom, right, top, left)
    quint32 largestRecord = 7;
    if (!text.isEmpty()) {
        // TextOut: length, the characters padded to whole words, y, x.
        QByteArray padded = text;
        if (padded.size() % 2 != 0)
            padded.append('\0');
        const quint32 words = 3 + 1 + quint32(padded.size() / 2) + 2;
        records.U32(words);
        records.Words({0x0521, unsigned(text.size())});
        records.Bytes().append(padded);
        records.Words({40, 20});
        largestRecord = std::max(largestRecord, words);
    }
    WmfRecord(records, {0x0000}); // EOF

    const quint32 headerWords = 9;
    const quint32 totalWords = headerWords + quint32(records.Bytes().size() / 2);
    // Header: type, header size, version, file size in words, objects, largest record,
    // members.
    w.Words({1, headerWords, 0x0300});
    w.U32(totalWords);
    w.U16(1);
    w.U32(largestRecord);
    w.U16(0);
    w.Bytes().append(records.Bytes());
    return w.Bytes();
}

QByteArray SampleEmf(QColor fill) {
    LeWriter w;
    // EMR_HEADER: bounds in pixels, frame in 0.01 mm, signature, version, sizes.
    w.Dwords({1, 88, 0, 0, 199, 99, 0, 0, 5291, 2645, 0x464D4520, 0x10000, 0, 5});
    w.Words({2, 0});
    w.Dwords({0, 0, 0, 1024, 768, 271, 203});
    w.Dwords({39, 24, 1, 0, ColorRef(fill), 0}); // EMR_CREATEBRUSHINDIRECT
    w.Dwords({37, 12, 1});                       // EMR_SELECTOBJECT
    w.Dwords({43, 24, 0, 0, 199, 99});           // EMR_RECTANGLE
    w.Dwords({14, 20, 0, 16, 20});               // EMR_EOF
    w.PutU32(48, quint32(w.Bytes().size()));
    return w.Bytes();
}

} // namespace lumora::test
