#include "foundation/datetimetext.h"

#include <QLocale>

namespace DateTimeText {

QString dateOnly(const QDateTime& when)
{
    return QLocale::system().toString(when.date(), QLocale::ShortFormat);
}

QString clock(const QDateTime& when)
{
    return dateOnly(when) + QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString format(const QDateTime& when)
{
    const QTime time = when.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return dateOnly(when);
    return clock(when);
}

QString now()
{
    return format(QDateTime::currentDateTime());
}

} // namespace DateTimeText
