#include "service/loglinetext.h"

namespace LogLineText {

QByteArray format(const QDateTime& when, const char* log, const QString& line)
{
    QString text = when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') +
                   QLatin1String(log) + QStringLiteral(": ");
    text.reserve(text.size() + line.size());
    for (const QChar c : line) {
        const char16_t code = c.unicode();
        if (code < 0x20 || code == 0x7f || (code >= 0x80 && code < 0xa0) || code == u'\\')
            text += code == u'\\' ? QStringLiteral("\\\\")
                                  : QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    text += QLatin1Char('\n');
    return text.toUtf8();
}

} // namespace LogLineText
