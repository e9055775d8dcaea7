#pragma once

#include <QDateTime>
#include <QString>

// Date and time texts as the operator sees them in the logs and the status bar: the locale's
// short date, a blank, and the time with seconds.
namespace DateTimeText {

QString format(const QDateTime& when);
QString now();
// The date alone, as the transaction log writes the first second after midnight.
QString dateOnly(const QDateTime& when);

} // namespace DateTimeText
