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

QString fromFileName(const QByteArray& name)
{
    return QFile::decodeName(name);
}

QByteArray toFileName(const QString& name)
{
    return QFile::encodeName(name);
}

} // namespace WidgetText
