// SPDX-License-Identifier: GPL-2.0-or-later
#include "qtadapters/MessageFormat.h"

namespace lumora {
namespace {

// A width from the file is honoured up to this many characters.
constexpr int kMaxWidth = 256;

bool IsFlagOrWidth(QChar c) {
    return c.isDigit() || c == u'-' || c == u'+' || c == u' ';
}

bool IsConversion(QChar c) {
    return c == u's' || c == u'd' || c == u'i' || c == u'u';
}

} // namespace

QString FormatMessage(const QString& format, const QString& value) {
    QString result;
    result.reserve(format.size() + value.size());
    bool filled = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            result.append(c);
            continue;
        }
        if (format.at(i + 1) == u'%') {
            result.append(u'%');
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < format.size() && IsFlagOrWidth(format.at(end)))
            ++end;
        if (!filled && end < format.size() && IsConversion(format.at(end))) {
            const QString widthText = format.mid(i + 1, end - i - 1);
            const int width = qMin(qAbs(widthText.toInt()), kMaxWidth);
            result.append(widthText.startsWith(u'-') ? value.leftJustified(width)
                                                     : value.rightJustified(width));
            filled = true;
            i = end;
            continue;
        }
        result.append(c);
    }
    return result;
}

QString FormatMessage(const QString& format, long long value) {
    return FormatMessage(format, QString::number(value));
}

} // namespace lumora
