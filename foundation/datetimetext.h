#pragma once

#include <QDateTime>
#include <QString>

// Date and time texts as the operator sees them: the locale's short date, a blank, and the time
// with seconds.
namespace DateTimeText {

// The time stamp of every log line, in Log.Dat and in the log windows alike: in the first
// second after midnight the blank and the time are left out, as the platform's date-time
// text does.
QString format(const QDateTime& when);
QString now();
// The date alone.
QString dateOnly(const QDateTime& when);
// The status bar's clock: always the date and the time with seconds, midnight included.
QString clock(const QDateTime& when);

} // namespace DateTimeText
