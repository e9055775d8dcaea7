#include "foundation/widgettext.h"

#include <QFile>

namespace WidgetText {

QString fromBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray toBytes(const QString& text)
{
    return text.toLatin1();
}

bool fitsBytes(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

QString fromFileName(const QByteArray& name)
{
    return QFile::decodeName(name);
}

QByteArray toFileName(const QString& name)
{
    return QFile::encodeName(name);
}

} // namespace WidgetText
