#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One live-log line as the headless server writes it to standard output:
// "2026-12-07 17:40:01 Connection: <line>\n", in UTF-8. A line may hold bytes a workstation
// sent; control characters (a CR or LF among them) are written as "\xNN", so no peer can end a
// line early and forge another.
namespace LogLineText {

QByteArray format(const QDateTime& when, const char* log, const QString& line);

} // namespace LogLineText
