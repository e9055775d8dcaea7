#include "foundation/datetimetext.h"

#include <QLocale>

namespace DateTimeText {

QString dateOnly(const QDateTime& when)
{
    return QLocale::system().toString(when.date(), QLocale::ShortFormat);
}

QString format(const QDateTime& when)
{
    return dateOnly(when) + QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString now()
{
    return format(QDateTime::currentDateTime());
}

} // namespace DateTimeText
